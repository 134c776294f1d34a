// The one wait for a descriptor within a deadline. Every loop that sleeps
// until something is ready, a time is up or it is told to stop goes through
// it, so none restarts its time after an interrupted wait.
#pragma once

#include <chrono>
#include <optional>

#include "core/result.h"

namespace tarnweld::posix {

using Deadline = std::optional<std::chrono::steady_clock::time_point>;  // nothing: no limit

enum class WaitEnd {
  kReady,     // the descriptor has one of the events asked for (or an error or hang-up)
  kStopped,   // the stop descriptor became readable
  kTimedOut,  // the deadline passed first
};

// Waits until `fd` has one of `events`, `stopFd` is readable, or `deadline`
// passes; -1 leaves either descriptor out. A signal that interrupts the wait
// resumes it with the time that is left. Fails only when poll does (the
// reason says why).
Result<WaitEnd> waitUntil(int fd, short events, Deadline deadline, int stopFd = -1);

}  // namespace tarnweld::posix
