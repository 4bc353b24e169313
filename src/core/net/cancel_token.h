#pragma once
// A flag another thread raises to end a blocking network wait at once. Waits poll
// its descriptor together with their socket.
namespace vendrix {

class CancelToken {
 public:
  CancelToken();
  ~CancelToken();
  CancelToken(const CancelToken&) = delete;
  CancelToken& operator=(const CancelToken&) = delete;

  void Cancel();  // thread-safe
  void Reset();
  bool IsCancelled() const;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace vendrix
