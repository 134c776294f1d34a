// A stop signal for a waiting thread, and the thread that waits on it. The
// thread's loop passes the signal's descriptor to waitUntil as its stop
// descriptor; raising the signal makes that readable for good, so the wait
// ends with WaitEnd::kStopped however often it is asked again.
#pragma once

#include <optional>
#include <thread>
#include <utility>

#include "core/result.h"
#include "platform/posix/fd.h"

namespace tarnweld::posix {

// An eventfd that nothing reads: once raised, it stays readable.
class StopSignal {
 public:
  // Fails, with the reason, when the descriptor cannot be made.
  static Result<StopSignal> make();

  // The descriptor to wait on.
  int fd() const { return fd_.get(); }
  // Makes the descriptor readable; never blocks.
  void raise();

 private:
  explicit StopSignal(Fd&& fd) : fd_(std::move(fd)) {}
  Fd fd_;
};

// A thread with its stop signal: dropping it (or stop()) raises the signal
// and joins the thread, so whatever the thread uses must outlive it (declare
// it last among the members its body reads).
class StoppableThread {
 public:
  StoppableThread() = default;
  StoppableThread(const StoppableThread&) = delete;
  StoppableThread& operator=(const StoppableThread&) = delete;
  ~StoppableThread() { stop(); }

  // Makes the stop signal, then runs `body(stopFd)` on a thread of its own.
  // Fails, with no thread, when the signal cannot be made; a thread that
  // cannot start throws as std::thread does. Once only.
  template <class Body>
  Status start(Body body) {
    Result<StopSignal> signal = StopSignal::make();
    if (!signal) return signal.failure();
    signal_.emplace(std::move(*signal));
    thread_ = std::thread(std::move(body), signal_->fd());
    return {};
  }

  // Raises the signal and waits for the thread to end; nothing when no
  // thread runs.
  void stop() {
    if (!thread_.joinable()) return;
    signal_->raise();
    thread_.join();
  }

 private:
  std::optional<StopSignal> signal_;
  std::thread thread_;
};

}  // namespace tarnweld::posix
