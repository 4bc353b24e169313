#pragma once
// The BHS windows without their widgets: the account window TBHSFrm (list the
// accounts BHS has and pick one) and the new-account window TBHSNewAccountFrm (ask
// BHS to create one). The chosen id becomes the company's BHS id through the
// assign callback. Messages and questions go through UserPrompt, the window state
// through BhsView.
//
// The network steps (FetchAccounts, SendRequest) block and may run on a worker
// thread; Cancel may be called from any thread. The other calls belong to the thread
// that owns the window.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/user_prompt.h"
#include "profiles/company_profile.h"
#include "services/bhs_request.h"

namespace vendrix {

struct BhsAccount {
  std::string text;  // the display text
  std::string id;
};

// The accounts of a list page: lines that start with "<option value=" and do not
// hold value="0"; the id is the first quoted text, the display text all after the
// first ">" (a closing tag stays in it). Lines without an id are skipped.
std::vector<BhsAccount> ParseBhsAccountList(std::string_view received);
// The id in a reply to a new-account request: in the first line holding value=
// followed by a double quote, the text up to the next double quote; empty when none.
std::string ParseBhsNewAccountId(std::string_view reply);

// What the windows show besides messages; calls come on the thread of the step.
class BhsView {
 public:
  virtual ~BhsView() = default;
  virtual void Status(const std::string& text) = 0;
  // The wait panel shown (list hidden, the request buttons disabled) or hidden.
  virtual void Waiting(bool waiting) = 0;
  // The window closes.
  virtual void Close() = 0;
};

class TBHSFrm {
 public:
  TBHSFrm(BhsServer server, CompanyProfile company,
          std::function<void(const std::string& id)> assign, UserPrompt& prompt, BhsView& view);
  ~TBHSFrm();

  // "Browse Accounts": BeginBrowse, FetchAccounts and FinishBrowse in turn.
  void BrowseAccounts();
  // The question and the wait state; false when the person answered No.
  bool BeginBrowse();
  // The list page's text, or nullopt on failure.
  std::optional<std::string> FetchAccounts();
  // Fills the list and selects the first entry, or reports the failure and closes.
  void FinishBrowse(const std::optional<std::string>& received);

  const std::vector<BhsAccount>& Entries() const { return entries_; }
  int Selected() const { return selected_; }
  bool UseSelectedEnabled() const { return !entries_.empty(); }
  // A double click on an entry: "Id = " and its id.
  void ShowId(int index);
  // "Use Selected" for the entry at index.
  void UseSelected(int index);
  // The new-account window closed with this id (empty: none).
  void NewAccountClosed(const std::string& id);
  void Cancel();
  bool Closed() const { return closed_; }

  std::chrono::milliseconds timeLimit = kBhsTimeLimit;

 private:
  void Assign(const std::string& id);
  void CloseWindow();
  BhsServer server_;
  std::string failure_;  // why the last request failed (the step's thread)
  CompanyProfile company_;
  std::function<void(const std::string&)> assign_;
  UserPrompt& prompt_;
  BhsView& view_;
  std::vector<BhsAccount> entries_;
  int selected_ = -1;
  bool closed_ = false;
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  std::shared_ptr<BhsRequest> request_;
};

// The fields of the new-account window.
struct BhsNewAccountFields {
  std::string companyName, address1, address2, city, stateCountry, zipCode, phone, email, ftpSite,
      webSite;
};

// The fields as the window opens: from the company profile.
BhsNewAccountFields FieldsFromCompany(const CompanyProfile& company);
// The form body, every value URL-encoded (Windows-1252 bytes).
std::string BhsNewAccountBody(const BhsNewAccountFields& fields);
// application/x-www-form-urlencoded text of a value: unreserved characters as they
// are, blank as "+", every other byte as %XX.
std::string FormEncode(std::string_view value);

class TBHSNewAccountFrm {
 public:
  TBHSNewAccountFrm(BhsServer server, const CompanyProfile& company, UserPrompt& prompt,
                    BhsView& view);
  ~TBHSNewAccountFrm();

  BhsNewAccountFields& Fields() { return fields_; }

  // "Request Account": nullopt while the window stays open (a field empty, or No to
  // the question); otherwise the window has closed with this id (empty when BHS gave
  // none or could not be reached).
  std::optional<std::string> RequestAccount();
  // The steps of RequestAccount: the checks and the question; the request (any
  // thread); the reply's id and the close.
  bool BeginRequest();
  std::optional<std::string> SendRequest();
  std::string FinishRequest(const std::optional<std::string>& reply);
  void Cancel();

  std::chrono::milliseconds timeLimit = kBhsTimeLimit;

 private:
  BhsServer server_;
  std::string failure_;  // why the last request failed (the step's thread)
  BhsNewAccountFields fields_;
  UserPrompt& prompt_;
  BhsView& view_;
  std::mutex mutex_;
  std::shared_ptr<BhsRequest> request_;
};

}  // namespace vendrix
