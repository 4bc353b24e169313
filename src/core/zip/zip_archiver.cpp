#include "zip/zip_archiver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#include "base/cp1252.h"
#include "zip/parallel_deflate.h"

namespace vendrix {
namespace {

std::string BaseName(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
  if (s.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) != suffix[i]) {
      return false;
    }
  }
  return true;
}

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = o.fd_;
      o.fd_ = -1;
    }
    return *this;
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// A file handed to libzip already deflated, on every core (ParallelDeflate), so that
// closing the archive copies compressed bytes instead of compressing on one thread.
// libzip takes the CRC-32 and the compressed size from the last stat, made once the
// data has been read.
class DeflatedFile {
 public:
  // Takes fd (open, regular). failure: where a compression error's text is kept.
  DeflatedFile(int fd, const struct stat& st, int level, const std::atomic<bool>* cancel,
               std::string* failure)
      : fd_(fd), st_(st), level_(level), cancel_(cancel), failure_(failure) {
    zip_error_init(&error_);
  }
  ~DeflatedFile() { zip_error_fini(&error_); }

  static zip_int64_t Callback(void* self, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    return static_cast<DeflatedFile*>(self)->Command(data, len, cmd);
  }

 private:
  zip_int64_t Command(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    switch (cmd) {
      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_GET_FILE_ATTRIBUTES, -1);
      case ZIP_SOURCE_OPEN:
        deflate_.reset();
        deflate_ = std::make_unique<ParallelDeflate>(
            fd_.get(), static_cast<std::uint64_t>(st_.st_size), level_, 0, cancel_);
        return 0;
      case ZIP_SOURCE_READ: {
        const std::int64_t n =
            deflate_->Read(static_cast<char*>(data), static_cast<std::size_t>(len));
        if (n < 0) {
          if (failure_) *failure_ = deflate_->Error();
          zip_error_set(&error_, ZIP_ER_READ, 0);
        }
        return n;
      }
      case ZIP_SOURCE_CLOSE:
        return 0;
      case ZIP_SOURCE_STAT: {
        auto* out = static_cast<zip_stat_t*>(data);
        zip_stat_init(out);
        out->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
        out->size = static_cast<zip_uint64_t>(st_.st_size);
        out->mtime = st_.st_mtime;
        out->comp_method = ZIP_CM_DEFLATE;
        if (deflate_ && deflate_->Finished()) {
          out->valid |= ZIP_STAT_CRC | ZIP_STAT_COMP_SIZE;
          out->crc = deflate_->Crc();
          out->comp_size = deflate_->CompressedSize();
        }
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
        auto* a = static_cast<zip_file_attributes_t*>(data);
        a->valid |= ZIP_FILE_ATTRIBUTES_HOST_SYSTEM | ZIP_FILE_ATTRIBUTES_EXTERNAL_FILE_ATTRIBUTES |
                    ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
        a->host_system = ZIP_OPSYS_UNIX;
        a->external_file_attributes = static_cast<zip_uint32_t>(st_.st_mode & 0xFFFF) << 16;
        // Bits 1 and 2 of a deflated entry tell its compression: maximum, normal or fast.
        a->general_purpose_bit_flags = level_ >= 8 ? 0x2 : level_ <= 2 ? 0x4 : 0;
        a->general_purpose_bit_mask = 0x6;
        return sizeof(zip_file_attributes_t);
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error_, data, len);
      case ZIP_SOURCE_FREE:
        delete this;
        return 0;
      default:
        zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  Fd fd_;
  struct stat st_;
  int level_;
  const std::atomic<bool>* cancel_;
  std::string* failure_;
  zip_error_t error_;
  std::unique_ptr<ParallelDeflate> deflate_;
};

bool IsLinkEntry(zip_t* z, zip_uint64_t index) {
  zip_uint8_t opsys = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(z, index, 0, &opsys, &attributes) != 0) return false;
  return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

}  // namespace

// Whether s is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    unsigned cp = n == 1 ? c : c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
      auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += n;
  }
  return true;
}

// An entry's name in UTF-8. Archives made on Windows without the UTF-8 flag hold the
// name in the maker's code page: bytes that are not UTF-8 are read as Windows-1252
// (never as the old DOS code page, which would turn "\xE9" into a Greek letter).
std::string EntryName(zip_t* z, zip_uint64_t index) {
  const char* raw = zip_get_name(z, index, ZIP_FL_ENC_RAW);
  if (!raw) return {};
  std::string name = raw;
  return IsUtf8(name) ? name : Cp1252ToUtf8(name);
}

std::vector<std::string> SafeEntryPath(const std::string& name, std::string& why) {
  std::vector<std::string> parts;
  if (name.empty()) {
    why = "empty name";
    return {};
  }
  if (name.find('\0') != std::string::npos) {
    why = "NUL byte in name";
    return {};
  }
  if (name[0] == '/' || name[0] == '\\') {
    why = "absolute path";
    return {};
  }
  if (name.find(':') != std::string::npos) {
    why = "drive letter or stream name";
    return {};
  }
  std::string part;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '/' || name[i] == '\\') {
      if (part == "..") {
        why = "\"..\" in path";
        return {};
      }
      if (!part.empty() && part != ".") parts.push_back(part);
      part.clear();
    } else {
      part += name[i];
    }
  }
  if (parts.empty()) why = "empty name";
  return parts;
}

void TZipArchiver::Message(int code, const std::string& text) {
  if (OnMessage) OnMessage(code, text);
}

void TZipArchiver::Progress(int type, const std::string& name, std::uint64_t size) {
  if (OnProgress) OnProgress(type, name, size);
}

int TZipArchiver::Add() {
  std::vector<std::string> files;
  files.swap(FSpecArgs);
  std::vector<std::string> archives;
  archives.swap(CopyFromArchives);
  std::vector<std::string> entryNames;
  entryNames.swap(FSpecEntryNames);
  if (files.empty() && archives.empty()) {
    Message(0, "Error - no files to zip");
    return 0;
  }
  if (ZipFilename.empty()) {
    Message(0,
            "Error - no zip file speci"
            "fied");
    return 0;
  }
  if (EndsWithNoCase(ZipFilename, ".exe")) {
    Message(0, "Error - this pgm can NOT add files to a self-extracting archive");
    return 0;
  }
  int err = 0;
  std::unique_ptr<zip_t, ZipCloser> z(zip_open(ZipFilename.c_str(), ZIP_CREATE, &err));
  if (!z) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, err);
    Message(err, "Error reading Zip File: " + std::string(zip_error_strerror(&ze)));
    zip_error_fini(&ze);
    return 0;
  }
  // The library compresses while the archive is written: each step of that is reported.
  zip_register_progress_callback_with_state(
      z.get(), 0.05,
      [](zip_t*, double, void* self) { static_cast<TZipArchiver*>(self)->Progress(kStep, "", 0); },
      nullptr, this);
  int added = 0;
  std::string failure;  // why a file could not be compressed
  // The source archives stay open until the new archive is written: their entries are
  // read from them then.
  std::vector<std::unique_ptr<zip_t, ZipCloser>> sources;
  for (const auto& archive : archives) {
    if (Cancel) break;
    std::unique_ptr<zip_t, ZipCloser> from(zip_open(archive.c_str(), ZIP_RDONLY, &err));
    if (!from) {
      Message(err, "Error reading Zip File: " + archive);
      continue;
    }
    const zip_int64_t count = zip_get_num_entries(from.get(), 0);
    for (zip_int64_t i = 0; i < count && !Cancel; ++i) {
      const auto index = static_cast<zip_uint64_t>(i);
      zip_stat_t st;
      zip_stat_init(&st);
      if (zip_stat_index(from.get(), index, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
        Message(0, "Error 2 reading Zip file: " + archive);
        continue;
      }
      Progress(kFileStarts, st.name, (st.valid & ZIP_STAT_SIZE) ? st.size : 0);
      // ZIP_FL_COMPRESSED: the entry's data is taken as it is stored, so the library
      // writes it without decompressing and compressing it again.
      zip_source_t* src = zip_source_zip(z.get(), from.get(), index, ZIP_FL_COMPRESSED, 0, -1);
      if (!src) {
        Message(0, std::string("Error adding ") + st.name + ": " + zip_strerror(z.get()));
        continue;
      }
      if (zip_file_add(z.get(), st.name, src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(src);
        Message(0, std::string("Error adding ") + st.name + ": " + zip_strerror(z.get()));
        continue;
      }
      ++added;
    }
    sources.push_back(std::move(from));
  }
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::string& file = files[f];
    if (Cancel) break;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      Message(ENOENT, "File not found: " + file);
      continue;
    }
    std::string entry = f < entryNames.size() && !entryNames[f].empty() ? entryNames[f]
                        : AddDirNames                                   ? file
                                                                        : BaseName(file);
    while (!entry.empty() && entry.front() == '/') entry.erase(0, 1);
    Progress(kFileStarts, entry, static_cast<std::uint64_t>(st.st_size));
    zip_source_t* src = nullptr;
    if (AddCompLevel > 0) {
      Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
      struct stat opened {};
      if (fd.get() < 0 || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
        Message(errno, "File not found: " + file);
        continue;
      }
      auto* deflated = new DeflatedFile(fd.release(), opened, AddCompLevel, &Cancel, &failure);
      src = zip_source_function(z.get(), &DeflatedFile::Callback, deflated);
      if (!src) delete deflated;
    } else {
      src = zip_source_file(z.get(), file.c_str(), 0, -1);
    }
    if (!src) {
      Message(0, std::string("Error adding ") + file + ": " + zip_strerror(z.get()));
      continue;
    }
    zip_int64_t index =
        zip_file_add(z.get(), entry.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(src);
      Message(0, std::string("Error adding ") + file + ": " + zip_strerror(z.get()));
      continue;
    }
    if (AddCompLevel <= 0) {
      zip_set_file_compression(z.get(), static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    ++added;
  }
  if (zip_close(z.get()) != 0) {
    Message(0, std::string("Error writing ") + ZipFilename + ": " +
                   (failure.empty() ? zip_strerror(z.get()) : failure.c_str()));
    return 0;
  }
  z.release();
  Progress(kBatchEnds, ZipFilename, 0);
  if (added > 0) {
    try {
      ReadContents();
    } catch (const EZipError& e) {
      Message(0, e.what());
    }
  }
  return added;
}

std::vector<std::string> TZipArchiver::EntryNames() const {
  std::vector<std::string> names;
  int err = 0;
  std::unique_ptr<zip_t, ZipCloser> z(zip_open(ZipFilename.c_str(), ZIP_RDONLY, &err));
  if (!z) return names;
  zip_int64_t n = zip_get_num_entries(z.get(), 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    names.push_back(EntryName(z.get(), static_cast<zip_uint64_t>(i)));
  }
  return names;
}

void TZipArchiver::ReadContents() {
  ZipContents.clear();
  int err = 0;
  std::unique_ptr<zip_t, ZipCloser> z(zip_open(ZipFilename.c_str(), ZIP_RDONLY, &err));
  if (!z) throw EZipError("Error reading Zip File");
  zip_int64_t n = zip_get_num_entries(z.get(), 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_NAME)) {
      ZipContents.clear();
      throw EZipError("Error 2 reading Zip file");
    }
    ZipContents.push_back(
        {EntryName(z.get(), static_cast<zip_uint64_t>(i)), st.valid & ZIP_STAT_SIZE ? st.size : 0});
  }
  if (OnDirUpdate) OnDirUpdate();
}

void TZipArchiver::SetZipFilename(std::string path) {
  ZipFilename = std::move(path);
  ZipContents.clear();
  struct stat st {};
  if (::stat(ZipFilename.c_str(), &st) != 0) return;  // a new archive: nothing to read
  ReadContents();
}

namespace {

// A new file in dir that no existing file can be: a random name, created exclusively.
int MakeTempFile(int dir, std::string& name, mode_t mode) {
  static std::atomic<unsigned> serial{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char buf[64];
    std::snprintf(buf, sizeof buf, ".vendrix-%08x%08x-%u.part", random(), random(),
                  serial.fetch_add(1));
    name = buf;
    int fd =
        ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool Wanted(const std::vector<std::string>& wanted, const std::string& name,
            const std::string& leaf) {
  if (wanted.empty()) return true;
  for (const auto& s : wanted) {
    if (s == name || s == leaf) return true;
  }
  return false;
}

// Writes all of data; 0, or the errno of the write that failed. A short write is
// retried, so a full disk is reported as ENOSPC rather than whatever errno held.
int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t w = ::write(fd, data, size);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return errno;
    if (w == 0) return EIO;
    data += w;
    size -= static_cast<std::size_t>(w);
  }
  return 0;
}

struct ZipFileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

// Reads up to size bytes of fd into data; the count read (short only at the end), or
// -1 on an error.
ssize_t ReadFull(int fd, char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::read(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// Links the plain file leaf of sameDir into dir under the same name when it holds
// exactly the entry's bytes; false when it differs, is missing or cannot be linked.
// The entry is read to its end before it counts as the same, so its checksum is
// tested. Throws EZipError when the entry cannot be read.
bool LinkWhenSame(zip_t* z, zip_uint64_t index, const std::string& name, std::uint64_t size,
                  int sameDir, int dir, const std::string& leaf, std::vector<char>& buf) {
  Fd old(::openat(sameDir, leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (old.get() < 0 || ::fstat(old.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) != size) {
    return false;
  }
  std::unique_ptr<zip_file_t, ZipFileCloser> in(zip_fopen_index(z, index, 0));
  if (!in) throw EZipError("Error 3 reading Zip file: " + name);
  std::vector<char> theirs(buf.size());
  std::uint64_t seen = 0;
  for (;;) {
    zip_int64_t n = zip_fread(in.get(), buf.data(), buf.size());
    if (n < 0) throw EZipError("Error 4 reading Zip file: " + name);
    if (n == 0) break;
    seen += static_cast<std::uint64_t>(n);
    // The file is as long as the entry says it is (fstat above); the entry must be too.
    if (seen > size) return false;
    ssize_t got = ReadFull(old.get(), theirs.data(), static_cast<std::size_t>(n));
    if (got != n || std::memcmp(buf.data(), theirs.data(), static_cast<std::size_t>(n)) != 0) {
      return false;
    }
  }
  if (seen != size) return false;
  return ::linkat(sameDir, leaf.c_str(), dir, leaf.c_str(), 0) == 0;
}

}  // namespace

int TZipArchiver::Extract() {
  std::vector<std::string> wanted;
  wanted.swap(FSpecArgs);
  int err = 0;
  std::unique_ptr<zip_t, ZipCloser> z(zip_open(ZipFilename.c_str(), ZIP_RDONLY, &err));
  if (!z) throw EZipError("Error reading Zip File");
  Fd base(
      ::open(ExtrBaseDir.empty() ? "." : ExtrBaseDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (base.get() < 0) {
    Message(errno, "Cannot open folder " + ExtrBaseDir + ": " + std::strerror(errno));
    return 0;
  }
  zip_int64_t count = zip_get_num_entries(z.get(), 0);
  if (count <= 0) {
    Message(0, "No valid zip entries found");
    return 0;
  }
  if (static_cast<std::uint64_t>(count) > MaxEntries) {
    Message(0, "The archive holds " + std::to_string(count) + " entries, more than the " +
                   std::to_string(MaxEntries) + " allowed; nothing was extracted.");
    return 0;
  }
  std::uint64_t total = 0;
  int written = 0;
  std::vector<char> buf(1 << 16);
  for (zip_int64_t i = 0; i < count && !Cancel; ++i) {
    auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t st;
    if (zip_stat_index(z.get(), index, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
      throw EZipError("Error 2 reading Zip file");
    }
    std::string name = EntryName(z.get(), index);
    std::string why;
    std::vector<std::string> parts = SafeEntryPath(name, why);
    if (parts.empty()) {
      Message(0, "Refused entry \"" + name + "\": " + why);
      continue;
    }
    if (!Wanted(wanted, name, parts.back())) continue;
    if (IsLinkEntry(z.get(), index)) {
      Message(0, "Refused entry \"" + name + "\": symbolic link");
      continue;
    }
    bool isDir = name.back() == '/' || name.back() == '\\';
    if (isDir && (!ExtrDirNames || ExtrRoute)) continue;
    // The folder the file goes to: the caller's, or a walk below the base folder
    // (making the folders) that follows no link. dirFd is borrowed, dir owns a walk's.
    Fd dir;
    int dirFd = base.get(), sameDir = -1, mode = -1;
    std::string leaf;
    if (ExtrRoute) {
      std::optional<Target> target = ExtrRoute(name);
      if (!target) continue;
      dirFd = target->dir;
      sameDir = target->sameDir;
      mode = target->mode;
      leaf = std::move(target->name);
    } else {
      if (!ExtrDirNames) parts = {parts.back()};
      std::size_t folders = isDir ? parts.size() : parts.size() - 1;
      bool ok = true;
      for (std::size_t k = 0; k < folders && ok; ++k) {
        ::mkdirat(dirFd, parts[k].c_str(), 0777);
        Fd next(::openat(dirFd, parts[k].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0) {
          Message(errno, "Refused entry \"" + name + "\": " + parts[k] + " is not a folder");
          ok = false;
        }
        dir = std::move(next);
        dirFd = dir.get();
      }
      if (!ok || isDir) continue;
      leaf = parts.back();
    }
    if (!ExtrOverWrite && ::faccessat(dirFd, leaf.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0) {
      Message(0, "Skipped existing file " + name);
      continue;
    }
    Progress(kFileStarts, name, st.valid & ZIP_STAT_SIZE ? st.size : 0);
    if (sameDir >= 0 && (st.valid & ZIP_STAT_SIZE) &&
        LinkWhenSame(z.get(), index, name, st.size, sameDir, dirFd, leaf, buf)) {
      total += st.size;
      ++written;
      continue;
    }
    std::unique_ptr<zip_file_t, ZipFileCloser> in(zip_fopen_index(z.get(), index, 0));
    if (!in) throw EZipError("Error 3 reading Zip file: " + name);
    std::string tmp;
    Fd out;
    if (!StageEachFile) {
      out = Fd(::openat(dirFd, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        static_cast<mode_t>(ExtrFileMode)));
      if (out.get() < 0 && errno != EEXIST) {
        throw EZipError("Error 5 writing " + name + ": " + std::strerror(errno));
      }
    }
    const bool direct = out.get() >= 0;
    if (!direct) {
      out = Fd(MakeTempFile(dirFd, tmp, static_cast<mode_t>(ExtrFileMode)));
      if (out.get() < 0) {
        throw EZipError("Error 5 writing " + name + ": " + std::strerror(errno));
      }
    }
    // From here on the file being written goes on every path but success.
    auto drop = [&] { ::unlinkat(dirFd, direct ? leaf.c_str() : tmp.c_str(), 0); };
    if (mode >= 0 && ::fchmod(out.get(), static_cast<mode_t>(mode)) != 0) {
      const int e = errno;
      drop();
      throw EZipError("Error 5 writing " + name + ": " + std::strerror(e));
    }
    bool tooBig = false;
    bool cancelled = false;
    for (;;) {
      zip_int64_t n = zip_fread(in.get(), buf.data(), buf.size());
      if (n < 0) {
        drop();
        throw EZipError("Error 4 reading Zip file: " + name);
      }
      if (n == 0) break;
      total += static_cast<std::uint64_t>(n);
      if (total > MaxTotalBytes) {
        tooBig = true;
        break;
      }
      if (int e = WriteAll(out.get(), buf.data(), static_cast<std::size_t>(n)); e != 0) {
        drop();
        throw EZipError("Error 5 writing " + name + ": " + std::strerror(e));
      }
      Progress(kStep, name, static_cast<std::uint64_t>(n));
      if (Cancel) {
        cancelled = true;
        break;
      }
    }
    if (tooBig || cancelled) {
      drop();
      if (tooBig) {
        Message(0, "The archive unpacks to more than " + std::to_string(MaxTotalBytes) +
                       " bytes; extraction stopped.");
      }
      break;
    }
    if ((SyncEachFile && ::fsync(out.get()) != 0) ||
        (!direct && ::renameat(dirFd, tmp.c_str(), dirFd, leaf.c_str()) != 0)) {
      int e = errno;
      drop();
      throw EZipError("Error 5 writing " + name + ": " + std::strerror(e));
    }
    ++written;
  }
  Progress(kBatchEnds, ZipFilename, 0);
  return written;
}

}  // namespace vendrix
