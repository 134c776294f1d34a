#include "platform/process_io.h"

#include <string.h>
#include <unistd.h>

namespace tarnweld::platform {

bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

std::string describeSignal(int code) {
  const char* abbreviation = sigabbrev_np(code);
  const char* description = strsignal(code);
  if (!abbreviation) return {};
  return std::string(" (SIG") + abbreviation + ", " + (description ? description : "") + ")";
}

}  // namespace tarnweld::platform
