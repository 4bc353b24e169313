#include "run/poster_pool.h"

#include "run/run_board.h"

namespace vendrix {

// A poster's words, told to the run's thread as news; where the site stands goes to
// the board as well.
class PosterPool::Sink : public PosterSink {
 public:
  Sink(PosterPool& pool, const PosterShared& shared, int place)
      : pool_(pool), shared_(shared), place_(place) {}
  void LogLine(SitePoster&, const std::string& line) override {
    News n = Make(News::Log, line);
    n.time = shared_.report->TimeNow();
    pool_.Tell(std::move(n));
  }
  void FtpLine(SitePoster&, const std::string& line) override { pool_.Tell(Make(News::Ftp, line)); }
  void FtpListCleared(SitePoster&) override { pool_.Tell(Make(News::FtpCleared, "")); }
  void Status(SitePoster&, RunStep step, const std::string& text) override {
    pool_.board_.Status(place_, step, text);
    News n = Make(News::Status, text);
    n.step = step;
    pool_.Tell(std::move(n));
  }
  void Lamp(SitePoster&, RunStep step, LampState state) override {
    if (state == LampState::Blinking) pool_.board_.Step(place_, step);
    News n = Make(News::Lamp, "");
    n.step = step;
    n.lamp = state;
    pool_.Tell(std::move(n));
  }
  void HttpBytes(SitePoster&, long long bytes, const std::string& text) override {
    pool_.board_.Bytes(place_, bytes);
    News n = Make(News::Bytes, text);
    n.bytes = bytes;
    pool_.Tell(std::move(n));
  }
  void FtpBytes(SitePoster&, long long bytes) override {
    // Shown through the board alone, which the run's thread shows when due.
    pool_.board_.Bytes(place_, bytes);
    if (bytes <= 0) return;
    if (pool_.direct_) {
      pool_.Tell(Make(News::FtpBytes, ""));
    } else {
      pool_.Wake();
    }
  }
  void XferLine(SitePoster&, const std::string& text) override {
    pool_.Tell(Make(News::Xfer, text));
  }
  void XferCleared(SitePoster&) override { pool_.Tell(Make(News::XferCleared, "")); }

 private:
  News Make(News::Kind kind, const std::string& text) const {
    News n;
    n.kind = kind;
    n.place = place_;
    n.text = text;
    return n;
  }
  PosterPool& pool_;
  const PosterShared& shared_;
  const int place_;
};

PosterPool::PosterPool(const PosterShared& shared, const std::vector<std::string>& folders,
                       RunBoard& board, std::function<void(News&)> direct)
    : board_(board), direct_(folders.size() == 1 ? std::move(direct) : nullptr) {
  for (std::size_t k = 0; k < folders.size(); ++k) {
    auto place = std::make_unique<Place>();
    place->index = static_cast<int>(k);
    place->sink = std::make_unique<Sink>(*this, shared, static_cast<int>(k));
    place->poster = std::make_unique<SitePoster>(shared, *place->sink, folders[k]);
    places_.push_back(std::move(place));
  }
  if (direct_) return;  // the one poster works in Wait
  for (auto& place : places_) {
    Place* p = place.get();
    p->thread = std::thread([this, p] { Loop(*p); });
  }
}

PosterPool::~PosterPool() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    for (auto& p : places_) {
      if (p->busy) p->poster->Skip();
    }
  }
  for (auto& p : places_) p->handedCv.notify_one();
  for (auto& p : places_) {
    if (p->thread.joinable()) p->thread.join();
  }
}

void PosterPool::Loop(Place& place) {
  std::unique_lock lock(mutex_);
  for (;;) {
    place.handedCv.wait(lock, [&] { return place.handed || stop_; });
    if (!place.handed) return;
    if (Queue(PostHanded(place, lock))) runCv_.notify_all();
  }
}

PosterPool::News PosterPool::PostHanded(Place& place, std::unique_lock<std::mutex>& lock) {
  place.handed = false;
  SiteJob job = place.job;
  lock.unlock();
  SiteOutcome outcome = place.poster->Post(std::move(job));
  lock.lock();
  place.ended = std::move(outcome);
  News n;
  n.kind = News::End;
  n.place = place.index;
  return n;
}

bool PosterPool::Queue(News news) {
  news_.push_back(std::move(news));
  return news_.size() == 1;
}

void PosterPool::Tell(News news) {
  if (direct_ && news.kind != News::End) {
    direct_(news);
    return;
  }
  bool wake;
  {
    std::lock_guard lock(mutex_);
    wake = Queue(std::move(news));
  }
  if (wake) runCv_.notify_all();
}

int PosterPool::Free() const {
  std::lock_guard lock(mutex_);
  for (std::size_t k = 0; k < places_.size(); ++k) {
    if (!places_[k]->busy) return static_cast<int>(k);
  }
  return -1;
}

bool PosterPool::AnyBusy() const {
  std::lock_guard lock(mutex_);
  for (const auto& p : places_) {
    if (p->busy) return true;
  }
  return false;
}

void PosterPool::Hand(int place, SiteJob job) {
  {
    std::lock_guard lock(mutex_);
    Place& p = *places_[static_cast<std::size_t>(place)];
    p.site = job.rowData.site;
    p.job = std::move(job);
    p.busy = p.handed = true;
    // From here a Skip of the site reaches its poster, however soon it comes.
    p.poster->Arm();
    p.handedCv.notify_one();
  }
}

const SiteJob& PosterPool::Job(int place) const {
  return places_[static_cast<std::size_t>(place)]->job;
}

SiteOutcome PosterPool::TakeOutcome(int place) {
  std::lock_guard lock(mutex_);
  Place& p = *places_[static_cast<std::size_t>(place)];
  SiteOutcome outcome = std::move(*p.ended);
  p.ended.reset();
  p.busy = false;
  p.site.clear();
  return outcome;
}

bool PosterPool::HttpTimedOut(int place) const {
  return places_[static_cast<std::size_t>(place)]->poster->HttpTimedOut();
}

std::vector<PosterPool::News> PosterPool::Wait(
    std::optional<std::chrono::steady_clock::time_point> until) {
  std::unique_lock lock(mutex_);
  if (direct_ && places_.front()->handed) {
    // The one poster posts its site here, on the run's thread.
    news_.push_back(PostHanded(*places_.front(), lock));
  }
  const auto ready = [this] { return !news_.empty() || woken_; };
  if (until) {
    runCv_.wait_until(lock, *until, ready);
  } else {
    runCv_.wait(lock, ready);
  }
  woken_ = false;
  std::vector<News> news(std::make_move_iterator(news_.begin()),
                         std::make_move_iterator(news_.end()));
  news_.clear();
  return news;
}

void PosterPool::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  runCv_.notify_all();
}

void PosterPool::Pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void PosterPool::Resume() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
    woken_ = true;
  }
  runCv_.notify_all();
}

bool PosterPool::Paused() const {
  std::lock_guard lock(mutex_);
  return paused_;
}

void PosterPool::Skip() {
  std::lock_guard lock(mutex_);
  for (auto& p : places_) {
    if (p->busy && !p->ended) p->poster->Skip();
  }
}

bool PosterPool::Skip(const std::string& site) {
  std::lock_guard lock(mutex_);
  for (auto& p : places_) {
    if (p->busy && !p->ended && p->site == site) {
      p->poster->Skip();
      return true;
    }
  }
  return false;
}

void PosterPool::Interrupt() {
  {
    std::lock_guard lock(mutex_);
    for (auto& p : places_) {
      if (p->busy && !p->ended) p->poster->Interrupt();
    }
    woken_ = true;
  }
  runCv_.notify_all();
}

bool PosterPool::MailInProgress() const {
  std::lock_guard lock(mutex_);
  for (const auto& p : places_) {
    if (p->busy && p->poster->MailInProgress()) return true;
  }
  return false;
}

}  // namespace vendrix
