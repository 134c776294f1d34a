#include "platform/posix/stop_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/posix/errno_text.h"

namespace tarnweld::posix {

Result<StopSignal> StopSignal::make() {
  Fd fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!fd) return fail("cannot create an event descriptor: " + errnoText(errno));
  return StopSignal(std::move(fd));
}

void StopSignal::raise() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(fd_.get(), &one, sizeof one);
}

}  // namespace tarnweld::posix
