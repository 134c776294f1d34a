#include "platform/process_io.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/errno_text.h"

namespace tarnweld::platform {

void openStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lowest free number is this one, the lower ones being open. Not
    // closed on exec: a child inherits it as its own stream.
    const int opened = open("/dev/null", O_RDWR);
    if (opened < 0) return;
    if (opened != fd) close(opened);
  }
}

void silenceStandardOutput() {
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  dup2(null, STDOUT_FILENO);
  dup2(null, STDERR_FILENO);
  if (null > STDERR_FILENO) close(null);
}

Status checkStandardInput() {
  struct stat status {};
  if (fstat(STDIN_FILENO, &status) != 0) return fail("cannot read standard input: " + posix::errnoText(errno));
  if (S_ISREG(status.st_mode) || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) || isatty(STDIN_FILENO)) {
    return {};
  }
  return fail(std::string("standard input is a ") + (S_ISDIR(status.st_mode) ? "directory" : "device") +
              "; run - reads a document from a file, a pipe or a terminal");
}

bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

std::string describeSignal(int code) {
  const char* abbreviation = sigabbrev_np(code);
  const char* description = strsignal(code);
  if (!abbreviation) return {};
  return std::string(" (SIG") + abbreviation + ", " + (description ? description : "") + ")";
}

}  // namespace tarnweld::platform
