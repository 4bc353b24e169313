#pragma once
// How many connections a run has open to one host at a time. A step takes its
// host's slots before it connects (an FTP step two, for its control and data
// connections; an HTTP step or a mail session one) and gives them back when it ends,
// so that sites posted at once never crowd one server. Slots are counted per host
// (its name without regard to case, as ServerOf gives it): the port a server names
// is left out, so sites on two ports of one address share that address's slots. A
// step gives its slots back before the next step of its site takes any.
//
// A slot given back stays taken a moment longer, so that the server has closed its
// end of the connection before the next one opens: a server counting its open
// connections sees no more than the limit either. The moment is as long as the slot
// was held, at most kLinger: a close reaches the server in half the time a request
// and its answer take, so a server that answers at once is not kept waiting for.
//
// Takes of one host are served in the order they came: only the first in line
// waits for the host's slots (woken when a slot is given back or a lingering one
// expires), the others sleep until it has taken them, so a slot given back wakes one
// waiter, not all of them.
//
// Any thread. A wait sleeps until its turn comes, a slot is given back, a lingering
// one expires, or Wake is called, and then checks the caller's stop test; a stop test
// whose owner never calls Wake is still checked once a second.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace vendrix {

class HostSlots {
 public:
  static constexpr std::chrono::milliseconds kLinger{25};

  explicit HostSlots(int perHost) : perHost_(perHost) {}
  HostSlots(const HostSlots&) = delete;
  HostSlots& operator=(const HostSlots&) = delete;

  class Hold {
   public:
    Hold() = default;
    Hold(Hold&& other) noexcept
        : slots_(other.slots_), key_(std::move(other.key_)), n_(other.n_), since_(other.since_) {
      other.slots_ = nullptr;
    }
    Hold& operator=(Hold&&) = delete;
    ~Hold() {
      if (slots_) slots_->Release(key_, n_, since_);
    }
    explicit operator bool() const { return slots_ != nullptr; }

   private:
    friend class HostSlots;
    Hold(HostSlots* slots, std::string key, int n)
        : slots_(slots), key_(std::move(key)), n_(n), since_(std::chrono::steady_clock::now()) {}
    HostSlots* slots_ = nullptr;
    std::string key_;
    int n_ = 0;
    std::chrono::steady_clock::time_point since_;
  };

  // Takes n slots of server (at most the limit); an empty Hold when stop() became
  // true first.
  Hold Take(const std::string& server, int n, const std::function<bool()>& stop);
  // Wakes every wait so that it checks its stop test.
  void Wake();
  // The most slots a server's host has had taken at once so far (for tests).
  int MostAtOnce(const std::string& server) const;
  // How many times a Take went back to sleep (for tests: a wait is not a poll).
  int Sleeps() const;

 private:
  // A Take asleep in its host's line.
  struct Waiting {
    std::condition_variable cv;
  };
  void Release(const std::string& key, int n, std::chrono::steady_clock::time_point since);
  // Wakes the first in key's line, if any (lock held).
  void WakeFirst(const std::string& key);
  // The slots of key still lingering (lock held); drops the ones that expired.
  int Lingering(const std::string& key, std::chrono::steady_clock::time_point now);

  // The key of a server's slots: "host" of "host:port", "smtp+host" of "smtp+host:25".
  static std::string HostOf(const std::string& server);

  const int perHost_;
  int sleeps_ = 0;
  mutable std::mutex mutex_;
  std::map<std::string, std::deque<Waiting*>> lines_;
  std::map<std::string, int> taken_, most_;
  std::map<std::string, std::vector<std::chrono::steady_clock::time_point>> lingering_;
};

// The server of an address or URL as "host:port": "ftp.example.com:21" of
// "FTP.Example.com." with defaultPort 21, "host:8080" of "http://user@host:8080/path",
// "[::1]:21" of "[::1]"; a URL's scheme gives the port it lacks (http 80, https 443).
std::string ServerOf(const std::string& addressOrUrl, int defaultPort);
// The slots of a mail server, counted apart from a web or FTP server's of that name.
inline std::string MailServerSlots(const std::string& smtpServer) {
  return "smtp+" + ServerOf(smtpServer, 25);
}

}  // namespace vendrix
