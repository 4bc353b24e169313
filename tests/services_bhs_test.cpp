#include <gtest/gtest.h>

#include <thread>

#include "services/bhs_account.h"
#include "services_http.h"
#include "support/scripted_prompt.h"

namespace vendrix {
namespace {

using test::HttpPeer;
using test::Reply200;
using test::ScriptedPrompt;
using test::TempDir;

class RecordingView : public BhsView {
 public:
  std::vector<std::string> statuses;
  bool waiting = false;
  int closes = 0;
  void Status(const std::string& text) override { statuses.push_back(text); }
  void Waiting(bool w) override { waiting = w; }
  void Close() override { ++closes; }
  bool Saw(const std::string& s) const {
    return std::find(statuses.begin(), statuses.end(), s) != statuses.end();
  }
};

constexpr const char* kListPage =
    "<html><select name=\"acct\">\r\n"
    "<option value=\"0\">-- choose --</option>\r\n"
    "<option value=\"1201\">Acme Software</option>\r\n"
    "  <option value=\"77\">indented lines are not entries\r\n"
    "<option value=\"3400\">A&amp;B Soft\r\n"
    "<option value=\"3500\"> Caf&#233; &lt;Tools&gt; &#x263A; &bogus; </option>\r\n"
    "<option value=\"\">no id\r\n"
    "</select></html>\r\n";

TEST(BhsParsing, ListAndNewAccountReplies) {
  auto entries = ParseBhsAccountList(kListPage);
  ASSERT_EQ(entries.size(), 3u);
  // Names, not markup: the closing tag goes, references are decoded (one that
  // Windows-1252 cannot hold, or an unknown one, stays as written).
  EXPECT_EQ(entries[0].id, "1201");
  EXPECT_EQ(entries[0].text, "Acme Software");
  EXPECT_EQ(entries[1].id, "3400");
  EXPECT_EQ(entries[1].text, "A&B Soft");
  EXPECT_EQ(entries[2].text, "Caf\xE9 <Tools> &#x263A; &bogus;");
  EXPECT_TRUE(ParseBhsAccountList("no options here\r\n").empty());

  EXPECT_EQ(ParseBhsNewAccountId("<p>done</p>\r\n<input value=\"5566\" name=id>\r\n"), "5566");
  EXPECT_EQ(ParseBhsNewAccountId("<p>Sorry, try later</p>\r\nvalue=5566\r\n"), "");
  EXPECT_EQ(ParseBhsNewAccountId(""), "");
}

TEST(BhsParsing, FormBodyIsEncodedAndFillsTheBlanks) {
  CompanyProfile c;
  c.name = "A&B Soft";
  c.address = "1 Main St";
  c.city = "Springfield";
  c.state = "IL";
  c.country = "USA";
  c.zip = "62701";
  c.phone = "+1 555 0100";
  c.email = "jo@ab.example";  // the contact's: not the account's address
  c.salesEmail = "info@ab.example";
  BhsNewAccountFields f = FieldsFromCompany(c);
  EXPECT_EQ(f.stateCountry, "IL/USA");
  EXPECT_EQ(BhsNewAccountBody(f),
            "name=A%26B+Soft&Address1=1+Main+St&Address2=&City=Springfield&State=IL%2FUSA&"
            "Zipcode=62701&phone=%2B1+555+0100&email=info%40ab.example&FTPSite=&WebSite=&"
            "add= Submit");
  EXPECT_EQ(FormEncode("caf\xE9=1%"), "caf%E9%3D1%25");
}

class BhsTest : public ::testing::Test {
 protected:
  BhsTest() {
    company.name = "Acme Software";
    company.address = "1 Main St";
    company.city = "Springfield";
    company.state = "IL";
    company.country = "USA";
    company.zip = "62701";
    company.phone = "555";
    company.salesEmail = "info@acme.example";  // the account's address (CCMAIL)
  }
  std::unique_ptr<TBHSFrm> Window(const HttpPeer& peer) {
    return std::make_unique<TBHSFrm>(
        BhsServer{peer.Url(""), peer.CaPem()}, company,
        [this](const std::string& id) { assigned.push_back(id); }, prompt, view);
  }

  TempDir dir;
  CompanyProfile company;
  ScriptedPrompt prompt;
  RecordingView view;
  std::vector<std::string> assigned;
};

TEST_F(BhsTest, BrowseOverTlsListsAccountsAndUseSelectedAsksOnAMismatch) {
  HttpPeer peer(dir, true);
  peer.Routes({{"/additem1.asp", Reply200(kListPage)}});
  auto w = Window(peer);
  w->BrowseAccounts();
  ASSERT_FALSE(w->Closed()) << ::testing::PrintToString(prompt.log);
  ASSERT_EQ(w->Entries().size(), 3u);
  EXPECT_EQ(w->Selected(), 0);
  EXPECT_TRUE(w->UseSelectedEnabled());
  EXPECT_FALSE(view.waiting);
  EXPECT_TRUE(view.Saw("(Connecting to BHS Server)"));
  EXPECT_TRUE(view.Saw("(Connected To BHS)"));
  EXPECT_TRUE(view.Saw("(Received " + std::to_string(std::string(kListPage).size()) + " bytes)"));
  EXPECT_EQ(view.statuses.back(), "(Parsing Data From BHS)");
  const std::string request = peer.Requests().at(0);
  EXPECT_EQ(request.rfind("GET /additem1.asp HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(request.find("User-Agent: Vendrix HTTP Component V1.0\r\n"), std::string::npos);

  w->ShowId(1);
  EXPECT_TRUE(prompt.Saw("inform: Id = 3400"));
  // "A&B Soft" is not the company name: the question, and No keeps all.
  prompt.answers = {Answer::No};
  w->UseSelected(1);
  EXPECT_TRUE(assigned.empty());
  EXPECT_FALSE(w->Closed());
  w->UseSelected(1);  // Yes
  EXPECT_EQ(assigned, std::vector<std::string>{"3400"});
  EXPECT_TRUE(prompt.Saw("inform: Your BHS ID# is: 3400"));
  EXPECT_TRUE(w->Closed());
}

TEST_F(BhsTest, ANameThatMatchesWithoutRegardToCaseIsUsedWithoutAQuestion) {
  HttpPeer peer(dir, false);
  // The closing tag on the line does not make a mismatch.
  peer.Routes({{"/additem1.asp", Reply200("<option value=\"9\">ACME software</option>\r\n")}});
  auto w = Window(peer);
  w->BrowseAccounts();
  w->UseSelected(0);
  EXPECT_EQ(assigned, std::vector<std::string>{"9"});
  for (const auto& l : prompt.log) EXPECT_EQ(l.find("does not exactly match"), std::string::npos);
}

TEST_F(BhsTest, BrowseFailuresAllSayCouldNotConnectAndAssignNothing) {
  HttpPeer peer(dir, false);
  struct Case {
    const char* what;
    std::string json;
    const char* why;  // what the message names besides the server
  };
  const Case cases[] = {
      {"404", "{}", "404 Not Found"},
      {"no option lines", R"({"/additem1.asp": {"raw": "HTTP/1.0 200 OK\r\n\r\n<p>busy</p>"}})",
       "listed no account"},
      {"empty reply", R"({"/additem1.asp": {"raw": "HTTP/1.0 200 OK\r\n\r\n"}})",
       "listed no account"},
      {"more than 1 MiB",
       R"({"/additem1.asp": {"head": "HTTP/1.0 200 OK", "body_bytes": 2097152}})", "1024 KiB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    peer.RawRoutes(c.json);
    prompt.log.clear();
    auto w = Window(peer);
    w->BrowseAccounts();
    EXPECT_TRUE(w->Closed());
    EXPECT_TRUE(w->Entries().empty());
    // The reference's words, then where and why.
    const std::string& said = prompt.log.back();
    EXPECT_TRUE(said.starts_with("error: Could not connect to BHS! (" + peer.Url("") + ": "))
        << said;
    EXPECT_NE(said.find(c.why), std::string::npos) << said;
  }
  EXPECT_TRUE(assigned.empty());

  // No to the question: nothing is asked of the server.
  const std::size_t requests = peer.Requests().size();
  prompt.answers = {Answer::No};
  auto w = Window(peer);
  w->BrowseAccounts();
  EXPECT_FALSE(w->Closed());
  EXPECT_EQ(peer.Requests().size(), requests);
}

TEST_F(BhsTest, TheTimeLimitAndCancelEndASilentServer) {
  HttpPeer peer(dir, false);
  peer.RawRoutes(R"({"/additem1.asp": {"sleep": 30}, "/additem2.asp": {"sleep": 30}})");
  auto w = Window(peer);
  w->timeLimit = std::chrono::milliseconds(300);
  w->BrowseAccounts();
  EXPECT_TRUE(
      prompt.Saw("error: Could not connect to BHS! (" + peer.Url("") + ": no answer in 1 s)"));

  TBHSNewAccountFrm form(BhsServer{peer.Url(""), ""}, company, prompt, view);
  form.timeLimit = std::chrono::milliseconds(300);
  prompt.log.clear();
  EXPECT_EQ(form.RequestAccount(), std::optional<std::string>(""));
  EXPECT_TRUE(
      prompt.Saw("error: Could not connect to BHS! (" + peer.Url("") + ": no answer in 1 s)"));

  // Cancel from another thread closes the window at once and quietly.
  prompt.log.clear();
  auto w2 = Window(peer);
  ASSERT_TRUE(w2->BeginBrowse());
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    w2->Cancel();
  });
  w2->FinishBrowse(w2->FetchAccounts());
  canceller.join();
  EXPECT_TRUE(w2->Closed());
  EXPECT_EQ(prompt.log, std::vector<std::string>{"confirm: Are you currently connected to the "
                                                 "Internet?"});
}

TEST_F(BhsTest, NewAccountSendsTheNameIntactAndAssignsTheReturnedId) {
  HttpPeer peer(dir, true);
  peer.Routes({{"/additem2.asp", Reply200("<h1>Thanks</h1>\r\n<input value=\"4711\">\r\n")}});
  company.name = "A&B Soft";
  TBHSNewAccountFrm form(BhsServer{peer.Url(""), peer.CaPem()}, company, prompt, view);
  auto id = form.RequestAccount();
  ASSERT_EQ(id, std::optional<std::string>("4711")) << ::testing::PrintToString(prompt.log);
  EXPECT_EQ(view.closes, 1);
  EXPECT_EQ(form.Fields().address2, " ");
  const std::string request = peer.Requests().at(0);
  EXPECT_EQ(request.rfind("POST /additem2.asp HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(request.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
  const std::string body = request.substr(request.find("\r\n\r\n") + 4);
  EXPECT_EQ(body.rfind("name=A%26B+Soft&Address1=1+Main+St&Address2=+&", 0), 0u) << body;
  EXPECT_NE(body.find("&FTPSite=none&WebSite=none&add= Submit"), std::string::npos) << body;

  auto w = Window(peer);
  w->NewAccountClosed(*id);
  EXPECT_EQ(assigned, std::vector<std::string>{"4711"});
  EXPECT_TRUE(prompt.Saw("inform: Your BHS ID# is: 4711"));
}

TEST_F(BhsTest, NewAccountWithoutAnIdOrWithAnEmptyFieldAssignsNothing) {
  HttpPeer peer(dir, false);
  peer.Routes({{"/additem2.asp", Reply200("<p>We could not create the account.</p>\r\n")}});
  TBHSNewAccountFrm form(BhsServer{peer.Url(""), ""}, company, prompt, view);
  form.Fields().city.clear();
  EXPECT_EQ(form.RequestAccount(), std::nullopt);
  EXPECT_TRUE(prompt.Saw("inform: You must fill in all fields!"));
  EXPECT_TRUE(peer.Requests().empty());

  form.Fields().city = "Springfield";
  auto id = form.RequestAccount();
  ASSERT_EQ(id, std::optional<std::string>(""));
  auto w = Window(peer);
  w->NewAccountClosed(*id);
  EXPECT_TRUE(assigned.empty());
  EXPECT_EQ(prompt.log.back(), "error: Could not assign BHS account at this time!");
  EXPECT_TRUE(w->Closed());
}

}  // namespace
}  // namespace vendrix
