#pragma once
// ParallelDeflate: compresses a file as one raw deflate stream on a few threads. The
// file is cut into blocks of kBlockSize; each block is compressed on its own, primed
// with the 32 KiB before it as its dictionary, and ended on a byte boundary (an empty
// stored block) except the last, which ends the stream. The blocks joined in order
// are one ordinary deflate stream any inflater reads; the output depends only on the
// file's bytes and the level, never on the number of threads or their timing.
//
// The compressed bytes are read in order with Read while the workers run ahead by a
// bounded number of blocks, so memory stays at a few blocks per thread whatever the
// file's size. The CRC-32 and the sizes are known once Read has returned 0.
//
// Failures: a file that cannot be read, or that became shorter while it was read,
// ends Read with -1 and Error() says why; a set cancel flag ends it the same way.
// One thread reads; the workers are the object's own and end with it.
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vendrix {

class ParallelDeflate {
 public:
  static constexpr std::size_t kBlockSize = 128 * 1024;
  static constexpr std::size_t kDictionary = 32 * 1024;

  // fd: an open file, read with pread from offset 0 to size (the caller keeps it open
  // until this object ends). threads 0: as many as the machine has cores, at most 8.
  ParallelDeflate(int fd, std::uint64_t size, int level, unsigned threads = 0,
                  const std::atomic<bool>* cancel = nullptr);
  ~ParallelDeflate();
  ParallelDeflate(const ParallelDeflate&) = delete;
  ParallelDeflate& operator=(const ParallelDeflate&) = delete;

  // Copies up to len compressed bytes into out: the count (0 at the end), or -1.
  std::int64_t Read(char* out, std::size_t len);
  const std::string& Error() const { return error_; }

  bool Finished() const { return finished_; }
  std::uint32_t Crc() const { return crc_; }
  std::uint64_t CompressedSize() const { return compressedSize_; }
  std::uint64_t Size() const { return size_; }

 private:
  struct Block {
    std::string data;
    std::uint32_t crc = 0;
    std::uint64_t length = 0;  // uncompressed bytes
    std::string error;
  };
  void Work();
  Block Compress(std::uint64_t index) const;

  const int fd_;
  const std::uint64_t size_;
  const int level_;
  const std::atomic<bool>* cancel_;
  std::uint64_t blocks_;
  std::size_t ahead_;  // blocks the workers may hold beyond the one being read

  std::mutex mutex_;
  std::condition_variable ready_;  // a block was finished
  std::condition_variable room_;   // the reader took a block, or the work ends
  std::uint64_t nextToClaim_ = 0, nextToRead_ = 0;
  bool stop_ = false;
  std::map<std::uint64_t, Block> done_;
  std::vector<std::thread> workers_;

  // The reader's side.
  std::string current_;
  std::size_t offset_ = 0;
  std::uint32_t crc_ = 0;
  std::uint64_t compressedSize_ = 0;
  bool finished_ = false;
  std::string error_;
};

}  // namespace vendrix
