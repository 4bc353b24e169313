#pragma once
// PosterPool: the run's posters. The run's thread hands a site to a free poster and
// takes back, in the order it happened, what the posters said (log and FTP lines with
// their times, status texts, lamps, byte counts, the site's answer) and how their sites
// ended. Several posters each work on a thread of its own; nothing is polled: the
// run's thread sleeps in Wait until a poster has news, the run is cancelled or
// resumed, or the deadline it gives passes. A pool of one given a direct handler posts
// its site on the run's thread itself, inside Wait, and hands each news to the
// handler as it is said (End still comes back from Wait): what one site says is shown
// while it says it.
//
// Pause keeps the run from handing over more sites (while the person is asked whether
// to cancel); steps in flight go on. Skip, Interrupt, Pause, Resume, Wake and
// MailInProgress may be called from any thread; everything else belongs to the run's
// thread. The destructor skips the sites still in flight and waits for the threads.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "run/site_poster.h"

namespace vendrix {

class RunBoard;

class PosterPool {
 public:
  // What a poster said, or that its site ended (End: its outcome is Outcome(place)).
  struct News {
    enum Kind { Log, Ftp, FtpCleared, Status, Lamp, Bytes, FtpBytes, Xfer, XferCleared, End };
    Kind kind = Log;
    int place = 0;
    RunStep step = RunStep::Ftp;
    std::string text;  // a line, a status, the byte count's text, a block of the answer
    std::string time;  // when a log line was said (TimeNow)
    LampState lamp = LampState::Off;
    long long bytes = 0;
  };

  // folders: one files folder per poster (UTF-8, ending in '/'); its size is the
  // pool's. The board learns where each site stands as the posters say it.
  PosterPool(const PosterShared& shared, const std::vector<std::string>& folders, RunBoard& board,
             std::function<void(News&)> direct = {});
  ~PosterPool();
  PosterPool(const PosterPool&) = delete;
  PosterPool& operator=(const PosterPool&) = delete;

  int Size() const { return static_cast<int>(places_.size()); }
  // A poster without a site, or -1.
  int Free() const;
  bool AnyBusy() const;
  // Hands the site to the free poster at place; it starts at once.
  void Hand(int place, SiteJob job);
  // The site the poster at place posts (or posted last).
  const SiteJob& Job(int place) const;
  // The outcome of the site that ended at place; the place is free again after.
  SiteOutcome TakeOutcome(int place);
  bool HttpTimedOut(int place) const;

  // Sleeps until there is news, the run was woken, or until; returns the news in order.
  std::vector<News> Wait(std::optional<std::chrono::steady_clock::time_point> until);
  void Wake();

  void Pause();
  void Resume();
  bool Paused() const;

  // "Skip" of every site in flight, or of the one named (false when it is not in flight).
  void Skip();
  bool Skip(const std::string& site);
  // After the run's cancel flag was set: the actions in progress are interrupted.
  void Interrupt();
  bool MailInProgress() const;

 private:
  class Sink;
  struct Place {
    int index = 0;
    std::unique_ptr<Sink> sink;
    std::unique_ptr<SitePoster> poster;
    std::thread thread;
    SiteJob job;
    std::string site;                  // the row's site while busy (mutex_)
    bool handed = false;               // a site waits to be taken up (mutex_)
    bool busy = false;                 // mutex_
    std::optional<SiteOutcome> ended;  // mutex_
    std::condition_variable handedCv;  // a site handed to this place, or the end
  };
  void Loop(Place& place);
  // Posts the site handed to place with the lock let go meanwhile (held again on
  // return): the news of its end.
  News PostHanded(Place& place, std::unique_lock<std::mutex>& lock);
  void Tell(News news);
  // Queues news for the run's thread (lock held); true when the thread must be woken:
  // news already waiting has woken it, and it takes all of it at once.
  bool Queue(News news);

  RunBoard& board_;
  std::function<void(News&)> direct_;  // one poster on the run's thread
  mutable std::mutex mutex_;
  std::condition_variable runCv_;  // news for the run's thread
  std::vector<std::unique_ptr<Place>> places_;
  std::deque<News> news_;
  bool woken_ = false;
  bool paused_ = false;
  bool stop_ = false;
};

}  // namespace vendrix
