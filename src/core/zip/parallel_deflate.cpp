#include "zip/parallel_deflate.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vendrix {
namespace {

// Reads exactly len bytes at offset; false on an error or a file that ends early.
bool ReadAt(int fd, char* out, std::size_t len, std::uint64_t offset, std::string& error) {
  while (len > 0) {
    ssize_t n = ::pread(fd, out, len, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::string("Unable to read the file: ") + std::strerror(errno);
      return false;
    }
    if (n == 0) {
      error = "The file became shorter while it was compressed";
      return false;
    }
    out += n;
    len -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

}  // namespace

ParallelDeflate::ParallelDeflate(int fd, std::uint64_t size, int level, unsigned threads,
                                 const std::atomic<bool>* cancel)
    : fd_(fd),
      size_(size),
      level_(std::clamp(level, 1, 9)),
      cancel_(cancel),
      blocks_(std::max<std::uint64_t>(1, (size + kBlockSize - 1) / kBlockSize)) {
  if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  threads = static_cast<unsigned>(std::min<std::uint64_t>(threads, blocks_));
  ahead_ = 2 * threads + 2;
  workers_.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
}

ParallelDeflate::~ParallelDeflate() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  room_.notify_all();
  for (auto& w : workers_) w.join();
}

ParallelDeflate::Block ParallelDeflate::Compress(std::uint64_t index) const {
  Block b;
  const std::uint64_t start = index * kBlockSize;
  b.length = std::min<std::uint64_t>(kBlockSize, size_ - std::min(size_, start));
  const std::size_t dict = static_cast<std::size_t>(std::min<std::uint64_t>(kDictionary, start));
  std::string in(dict + b.length, '\0');
  if (!ReadAt(fd_, in.data(), in.size(), start - dict, b.error)) return b;
  const auto* bytes = reinterpret_cast<const Bytef*>(in.data());
  b.crc = static_cast<std::uint32_t>(crc32(0L, bytes + dict, static_cast<uInt>(b.length)));

  z_stream z{};
  // Raw deflate (no zlib header): the zip entry holds the bare stream.
  if (deflateInit2(&z, level_, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    b.error = "The compressor could not start";
    return b;
  }
  if (dict > 0) deflateSetDictionary(&z, bytes, static_cast<uInt>(dict));
  const bool last = index + 1 == blocks_;
  b.data.resize(deflateBound(&z, static_cast<uLong>(b.length)) + 16);
  z.next_in = const_cast<Bytef*>(bytes + dict);
  z.avail_in = static_cast<uInt>(b.length);
  z.next_out = reinterpret_cast<Bytef*>(b.data.data());
  z.avail_out = static_cast<uInt>(b.data.size());
  // The last block ends the stream; the others end on a byte boundary (an empty stored
  // block), so the next block's bytes follow on directly.
  const int rc = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
  const bool ok = last ? rc == Z_STREAM_END : rc == Z_OK && z.avail_in == 0 && z.avail_out > 0;
  b.data.resize(b.data.size() - z.avail_out);
  deflateEnd(&z);
  if (!ok) b.error = "The compressor failed";
  return b;
}

void ParallelDeflate::Work() {
  for (;;) {
    std::uint64_t index;
    {
      std::unique_lock lock(mutex_);
      room_.wait(lock, [&] {
        return stop_ || nextToClaim_ >= blocks_ || nextToClaim_ < nextToRead_ + ahead_;
      });
      if (stop_ || nextToClaim_ >= blocks_) return;
      index = nextToClaim_++;
    }
    Block b = Compress(index);
    {
      std::lock_guard lock(mutex_);
      done_.emplace(index, std::move(b));
    }
    ready_.notify_all();
  }
}

std::int64_t ParallelDeflate::Read(char* out, std::size_t len) {
  if (!error_.empty()) return -1;
  std::size_t copied = 0;
  while (copied < len) {
    if (offset_ == current_.size()) {
      if (nextToRead_ == blocks_) break;
      if (cancel_ && *cancel_) {
        error_ = "Cancelled";
        return -1;
      }
      Block b;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return done_.count(nextToRead_) > 0; });
        auto it = done_.find(nextToRead_);
        b = std::move(it->second);
        done_.erase(it);
        ++nextToRead_;
      }
      room_.notify_all();
      if (!b.error.empty()) {
        error_ = b.error;
        return -1;
      }
      crc_ = static_cast<std::uint32_t>(crc32_combine(crc_, b.crc, static_cast<z_off_t>(b.length)));
      compressedSize_ += b.data.size();
      current_ = std::move(b.data);
      offset_ = 0;
      continue;
    }
    const std::size_t n = std::min(len - copied, current_.size() - offset_);
    std::memcpy(out + copied, current_.data() + offset_, n);
    offset_ += n;
    copied += n;
  }
  if (nextToRead_ == blocks_ && offset_ == current_.size()) finished_ = true;
  return static_cast<std::int64_t>(copied);
}

}  // namespace vendrix
