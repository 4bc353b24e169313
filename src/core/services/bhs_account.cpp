#include "services/bhs_account.h"

#include "base/line_list.h"

namespace vendrix {
namespace {

constexpr const char* kConnected = "Are you currently connected to the Internet?";

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Everything after the first occurrence of c (the whole text when there is none).
std::string_view After(std::string_view s, char c) {
  auto at = s.find(c);
  return at == std::string_view::npos ? s : s.substr(at + 1);
}

// The display text of an option: markup dropped (the closing tag and any other tag),
// the character references decoded (to Windows-1252; one it cannot hold stays as
// written), the spaces around it trimmed.
std::string OptionText(std::string_view s) {
  std::string plain;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '<') {
      const auto close = s.find('>', i);
      if (close == std::string_view::npos) break;
      i = close;
      continue;
    }
    plain += s[i];
  }
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", ' '}};
  std::string out;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const auto semi = plain[i] == '&' ? plain.find(';', i) : std::string::npos;
    if (semi == std::string::npos || semi - i > 8) {
      out += plain[i];
      continue;
    }
    const std::string_view name = std::string_view(plain).substr(i + 1, semi - i - 1);
    int code = -1;
    for (const auto& [n, c] : kNamed) {
      if (n == name) code = static_cast<unsigned char>(c);
    }
    if (code < 0 && name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      const std::string_view digits = name.substr(hex ? 2 : 1);
      int value = 0;
      bool ok = !digits.empty();
      for (char d : digits) {
        int v = -1;
        if (d >= '0' && d <= '9') {
          v = d - '0';
        } else if (hex && d >= 'a' && d <= 'f') {
          v = d - 'a' + 10;
        } else if (hex && d >= 'A' && d <= 'F') {
          v = d - 'A' + 10;
        }
        if (v < 0 || value > 0xFFFF) {
          ok = false;
          break;
        }
        value = value * (hex ? 16 : 10) + v;
      }
      // Latin-1 code points are the same bytes in Windows-1252 (but for its C1 range).
      if (ok && value >= 0x20 && value <= 0xFF && (value < 0x80 || value >= 0xA0)) code = value;
    }
    if (code < 0) {
      out += plain[i];
      continue;
    }
    out += static_cast<char>(code);
    i = semi;
  }
  const auto first = out.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::vector<BhsAccount> ParseBhsAccountList(std::string_view received) {
  std::vector<BhsAccount> entries;
  for (const auto& line : SplitLines(received)) {
    std::string_view s = line;
    if (s.rfind("<option value=", 0) != 0 || s.find("value=\"0\"") != std::string_view::npos) {
      continue;
    }
    s = After(s, '"');
    auto quote = s.find('"');
    std::string id(s.substr(0, quote == std::string_view::npos ? 0 : quote));
    s = After(s, '>');
    if (id.empty()) continue;  // nothing to assign
    entries.push_back({OptionText(s), id});
  }
  return entries;
}

std::string ParseBhsNewAccountId(std::string_view reply) {
  for (const auto& line : SplitLines(reply)) {
    auto at = line.find("value=\"");
    if (at == std::string::npos) continue;
    std::string rest = line.substr(at + 7);
    auto quote = rest.find('"');
    return quote == std::string::npos ? std::string() : rest.substr(0, quote);
  }
  return {};
}

// The account window.

TBHSFrm::TBHSFrm(BhsServer server, CompanyProfile company,
                 std::function<void(const std::string&)> assign, UserPrompt& prompt, BhsView& view)
    : server_(std::move(server)),
      company_(std::move(company)),
      assign_(std::move(assign)),
      prompt_(prompt),
      view_(view) {}

TBHSFrm::~TBHSFrm() = default;

void TBHSFrm::BrowseAccounts() {
  if (!BeginBrowse()) return;
  FinishBrowse(FetchAccounts());
}

bool TBHSFrm::BeginBrowse() {
  cancelled_ = false;
  if (prompt_.Confirm(kConnected, false) != Answer::Yes) return false;
  entries_.clear();
  selected_ = -1;
  view_.Waiting(true);
  view_.Status("(Connecting to BHS Server)");
  return true;
}

std::optional<std::string> TBHSFrm::FetchAccounts() {
  auto request = std::make_shared<BhsRequest>(server_, BhsRequest::Kind::List,
                                              [this](const std::string& s) { view_.Status(s); });
  request->timeLimit = timeLimit;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    request_ = request;
  }
  auto received = request->Perform(std::nullopt);
  std::lock_guard<std::mutex> lock(mutex_);
  request_.reset();
  failure_ = request->Failure();
  if (request->Cancelled()) return std::nullopt;
  return received;
}

void TBHSFrm::FinishBrowse(const std::optional<std::string>& received) {
  if (cancelled_) {  // the person closed the window
    view_.Waiting(false);
    CloseWindow();
    return;
  }
  if (received && !SplitLines(*received).empty()) {
    view_.Status("(Parsing Data From BHS)");
    entries_ = ParseBhsAccountList(*received);
  }
  if (entries_.empty()) {
    std::string why = failure_;
    if (why.empty()) why = received ? "the answer listed no account" : "no answer";
    prompt_.Error(BhsFailureText(server_, why));
    view_.Waiting(false);
    CloseWindow();
    return;
  }
  selected_ = 0;
  view_.Waiting(false);
}

void TBHSFrm::ShowId(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  prompt_.Inform("Id = " + entries_[static_cast<std::size_t>(index)].id);
}

void TBHSFrm::UseSelected(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  const BhsAccount& entry = entries_[static_cast<std::size_t>(index)];
  selected_ = index;
  if (!EqualNoCase(entry.text, company_.name) &&
      prompt_.Confirm("The name you selected does not exactly match the name in your Vendrix "
                      "company field. Do you still want to use the selected BHS company for the "
                      "ID?",
                      false) != Answer::Yes) {
    return;
  }
  Assign(entry.id);
}

void TBHSFrm::NewAccountClosed(const std::string& id) {
  if (id.empty()) {
    prompt_.Error("Could not assign BHS account at this time!");
    CloseWindow();
    return;
  }
  Assign(id);
}

void TBHSFrm::Assign(const std::string& id) {
  if (assign_) assign_(id);
  prompt_.Inform("Your BHS ID# is: " + id);
  CloseWindow();
}

void TBHSFrm::CloseWindow() {
  closed_ = true;
  view_.Close();
}

void TBHSFrm::Cancel() {
  cancelled_ = true;
  std::lock_guard<std::mutex> lock(mutex_);
  if (request_) request_->Cancel();
}

// The new-account window.

std::string FormEncode(std::string_view value) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : value) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '*') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

BhsNewAccountFields FieldsFromCompany(const CompanyProfile& c) {
  BhsNewAccountFields f;
  f.companyName = c.name;
  f.address1 = c.address;
  f.city = c.city;
  f.stateCountry = c.state + "/" + c.country;
  f.zipCode = c.zip;
  f.phone = c.phone;
  f.email = c.salesEmail;  // the company's public address, not its contact's
  f.webSite = c.url;
  return f;
}

std::string BhsNewAccountBody(const BhsNewAccountFields& f) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"name", &f.companyName}, {"Address1", &f.address1},  {"Address2", &f.address2},
      {"City", &f.city},        {"State", &f.stateCountry}, {"Zipcode", &f.zipCode},
      {"phone", &f.phone},      {"email", &f.email},        {"FTPSite", &f.ftpSite},
      {"WebSite", &f.webSite}};
  std::string body;
  for (const auto& [key, value] : fields) body += std::string(key) + "=" + FormEncode(*value) + "&";
  return body + "add= Submit";
}

TBHSNewAccountFrm::TBHSNewAccountFrm(BhsServer server, const CompanyProfile& company,
                                     UserPrompt& prompt, BhsView& view)
    : server_(std::move(server)),
      fields_(FieldsFromCompany(company)),
      prompt_(prompt),
      view_(view) {}

TBHSNewAccountFrm::~TBHSNewAccountFrm() = default;

std::optional<std::string> TBHSNewAccountFrm::RequestAccount() {
  if (!BeginRequest()) return std::nullopt;
  return FinishRequest(SendRequest());
}

bool TBHSNewAccountFrm::BeginRequest() {
  const BhsNewAccountFields& f = fields_;
  for (const std::string* required :
       {&f.companyName, &f.address1, &f.city, &f.stateCountry, &f.zipCode, &f.phone, &f.email}) {
    if (required->empty()) {
      prompt_.Inform("You must fill in all fields!");
      return false;
    }
  }
  if (prompt_.Confirm(kConnected, false) != Answer::Yes) return false;
  view_.Waiting(true);
  if (fields_.address2.empty()) fields_.address2 = " ";
  if (fields_.ftpSite.empty()) fields_.ftpSite = "none";
  if (fields_.webSite.empty()) fields_.webSite = "none";
  return true;
}

std::optional<std::string> TBHSNewAccountFrm::SendRequest() {
  auto request = std::make_shared<BhsRequest>(server_, BhsRequest::Kind::NewAccount,
                                              [this](const std::string& s) { view_.Status(s); });
  request->timeLimit = timeLimit;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    request_ = request;
  }
  auto reply = request->Perform(BhsNewAccountBody(fields_));
  std::lock_guard<std::mutex> lock(mutex_);
  request_.reset();
  failure_ = request->Failure();
  return reply;
}

std::string TBHSNewAccountFrm::FinishRequest(const std::optional<std::string>& reply) {
  std::string id;
  if (!reply) {
    prompt_.Error(BhsFailureText(server_, failure_));
  } else {
    id = ParseBhsNewAccountId(*reply);
  }
  view_.Waiting(false);
  view_.Close();
  return id;
}

void TBHSNewAccountFrm::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (request_) request_->Cancel();
}

}  // namespace vendrix
