#pragma once
// The mail message that TmsSMTP sends: sender, recipients, subject, extra headers,
// body lines and attachments. Texts are Windows-1252 as in the program's files; the
// composer converts what is not ASCII. Not thread-safe: fill it, then send it.
#include <string>
#include <vector>

#include "mail/mail_lists.h"

namespace vendrix {

enum class TMsgEncoding { meMIME, meUU };
enum class TCharSet { csUSASCII, csISO8859 };
enum class TPriority { ptLow, ptNormal, ptHigh };

class TmsCustomMessage {
 public:
  TmsAttList Attachments;
  std::string ContentType = "text/plain";  // compared lower-cased
  TMsgEncoding Encoding = TMsgEncoding::meMIME;
  TmsMailAddress Sender;
  std::string Subject;
  TCharSet CharSet = TCharSet::csUSASCII;
  TmsHeaders Headers;
  std::vector<std::string> Body;  // lines without their endings
};

class TmsMessage : public TmsCustomMessage {
 public:
  TmsAddressList Recipients;
  bool ReturnReceipt = false;
  TPriority Priority = TPriority::ptNormal;
  TmsAddressList CC;
  TmsAddressList BCC;  // envelope only, never in the head
};

}  // namespace vendrix
