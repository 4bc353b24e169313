#include "mail/mail_error.h"

#include <unordered_map>

namespace vendrix {
namespace {

const char* OwnText(int code) {
  switch (code) {
    case kMailTimedOut:
      return "Operation timed out";
    case kMailCanceled:
      return "Operation has been canceled";
    case kMailNoServer:
      return "Server property is required";
    case kMailBadWinsock:
      return "Invalid Winsock version";
    case kMailResolve:
      return "Error resolving remote host";
    case kMailNoService:
      return "Service name is required";
    case kMailNotConnected:
      return "You have to connect to the server first";
    case kMailNoSender:
      return "The address of sender is required";
    case kMailNoRecipient:
      return "At least one Recipient, CC or BCC must be entered";
    case kMailNoMessage:
      return "MailMessage property must be assigned";
    case kMailPreamble:
      return "This is a multipart message in MIME format";
    case kMailUnsafeText:
      return "A line break or NUL character is not allowed in an address, name, subject or "
             "header";
    case kMailAttachmentRead:
      return "Unable to read an attachment";
    case kMailComposeWrite:
      return "Unable to write the temporary message file";
    case kMailBadPort:
      return "The port number after \":\" in the server name is not valid";
    case kMailNoStartTls:
      return "The mail server does not offer STARTTLS, which the security setting requires; "
             "nothing was sent";
    case kMailStartTlsRefused:
      return "The mail server refused STARTTLS, which the security setting requires; nothing "
             "was sent";
    case kMailAuthInClear:
      return "The password is not sent over an unencrypted connection; set the mail security "
             "to STARTTLS or TLS";
    case kMailNoAuthMethod:
      return "The mail server offers no login method this program knows (PLAIN, LOGIN)";
    case kMailReplyTooLong:
      return "The mail server's reply is too long";
    case kMailConnectionClosed:
      return "The mail server closed the connection";
    default:
      return nullptr;
  }
}

const char* SocketText(int code) {
  static const std::unordered_map<int, const char*> kTexts = {
      {10004, "Interrupted function call"},
      {10009, "Bad file number"},
      {10013, "Permission denied."},
      {10014, "Bad address"},
      {10022, "Invalid argument"},
      {10024, "Too many open files"},
      {10035, "Resource temporarily not available"},
      {10036, "Operation now in progress"},
      {10037, "Operation already in progress"},
      {10038, "Socket operation on non-socket"},
      {10039, "Destination address required"},
      {10040, "Message too long"},
      {10041, "Protocol wrong type for socket"},
      {10042, "Bad protocol option"},
      {10043, "Protocol not supported"},
      {10044, "Socket type not supported"},
      {10045, "Operation not supported"},
      {10046, "Protocol family not supported"},
      {10047, "Address family not supported by protocol family"},
      {10048, "Address already in use"},
      {10049, "Cannot assign requested address"},
      {10050, "Network is down"},
      {10051, "Network is unreachable"},
      {10052, "Network dropped connection or reset"},
      {10053, "Software caused connection abort"},
      {10054, "Connection reset by peer"},
      {10055, "No buffer space available"},
      {10056, "Socket is already connected"},
      {10057, "Socket is not connected"},
      {10058, "Can't send after socket shutdown"},
      {10059, "Too many references, can't splice"},
      {10060, "Connection timed out"},
      {10061, "Connection refused"},
      {10062, "Too many levels of symbolic links"},
      {10063, "File name too long"},
      {10064, "Host is down"},
      {10065, "No Route to Host"},
      {10066, "Directory not empty"},
      {10067, "Too many processes"},
      {10068, "Too many users"},
      {10069, "Disc Quota Exceeded"},
      {10070, "Stale NFS file handle"},
      {10071, "Too many levels of remote in path"},
      {10091, "Network subsystem is unavailable"},
      {10092, "WINSOCK DLL Version out of range"},
      {10093, "Successful WSAStartup() not yet performed"},
      {10094, "Graceful shutdown in progress"},
      {11001, "Host not found"},
      {11002, "Non-Authoritative Host not found"},
      {11003, "Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
      {11004, "Valid name, no data record of requested type"},
  };
  auto it = kTexts.find(code);
  return it == kTexts.end() ? nullptr : it->second;
}

}  // namespace

std::string MailErrorText(int code) {
  if (const char* own = OwnText(code)) return own;
  if (code == 10000) return "[0] No Error";
  if (const char* text = SocketText(code)) return "[" + std::to_string(code) + "] " + text;
  return "Error #" + std::to_string(code);
}

}  // namespace vendrix
