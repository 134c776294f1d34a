#include "platform/posix/deadline_wait.h"

#include <errno.h>
#include <poll.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/posix/errno_text.h"

namespace tarnweld::posix {

Result<WaitEnd> waitUntil(int fd, short events, Deadline deadline, int stopFd) {
  // poll takes an int of milliseconds: a longer wait is made of several.
  constexpr std::int64_t kLongestPollMs = 1'000'000;
  for (;;) {
    int timeoutMs = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
      timeoutMs = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, kLongestPollMs));
    }
    pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
    const int polled = poll(fds, 2, timeoutMs);
    if (polled < 0 && errno == EINTR) continue;
    if (polled < 0) return fail("cannot wait: " + errnoText(errno));
    if (fds[1].revents != 0) return WaitEnd::kStopped;
    if (fds[0].revents != 0) return WaitEnd::kReady;
    if (deadline && std::chrono::steady_clock::now() >= *deadline) return WaitEnd::kTimedOut;
  }
}

}  // namespace tarnweld::posix
