#include "mail/mail_lists.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "mail/mail_error.h"
#include "mail/mime_types.h"

namespace vendrix {

const char* EncodingName(TAttEncoding e) {
  switch (e) {
    case TAttEncoding::et7Bit:
      return "7bit";
    case TAttEncoding::etQuotedPrintable:
      return "Quoted-Printable";
    case TAttEncoding::etBase64:
      break;
  }
  return "Base64";
}

TAttEncoding EncodingForType(const std::string& contentType) {
  std::string upper = contentType;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "TEXT/PLAIN" || upper == "TEXT/RTF" || upper == "TEXT/HTML") {
    return TAttEncoding::etQuotedPrintable;
  }
  if (upper == "MESSAGE/RFC822") return TAttEncoding::et7Bit;
  return TAttEncoding::etBase64;
}

std::string TmsAttItem::ShortName() const {
  // Only "/" separates folders here; "\\" is a character of the name.
  auto slash = FileName.rfind('/');
  return slash == std::string::npos ? FileName : FileName.substr(slash + 1);
}

void CheckAttachmentReadable(const std::string& fileName) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO never blocks
  std::string reason;
  if (fd < 0) {
    reason = std::strerror(errno);
  } else {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) reason = "not a regular file";
    ::close(fd);
  }
  if (!reason.empty()) {
    throw EMessageError(kMailAttachmentRead,
                        "Unable to read the attachment " + fileName + ": " + reason);
  }
}

void TmsAttList::AddFile(const std::string& fileName) {
  CheckAttachmentReadable(fileName);
  TmsAttItem item;
  item.FileName = fileName;
  item.ContentType = SystemMimeTypes().TypeOf(fileName);
  item.Encoding = EncodingForType(item.ContentType);
  items_.push_back(std::move(item));
}

}  // namespace vendrix
