#include "platform/posix/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

#include "platform/posix/deadline_wait.h"
#include "platform/posix/errno_text.h"
#include "platform/posix/fd.h"

extern char** environ;

namespace tarnweld::posix {
namespace {

constexpr int kExecFailedStatus = 127;

// Runs in the vforked child of a possibly multi-threaded parent, on the
// parent's memory: only async-signal-safe calls from here to execve, and
// nothing of the parent's changed but errno.
[[noreturn]] void becomeChild(const SpawnRequest& request, char* const* argv, char* const* envp, int errorPipe,
                              pid_t parent) {
  auto fail = [&] {
    const int error = errno;
    [[maybe_unused]] ssize_t written = write(errorPipe, &error, sizeof error);
    _exit(kExecFailedStatus);
  };
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) fail();
  if (getppid() != parent) _exit(kExecFailedStatus);  // the parent already ended
  // A plug-in that is a script may leave children of its own; as one group
  // they can all be killed when it overruns.
  if (request.ownProcessGroup && setpgid(0, 0) != 0) fail();

  int input = request.standardInput;
  if (input < 0 && (input = open("/dev/null", O_RDONLY)) < 0) fail();
  if (dup2(input, STDIN_FILENO) < 0) fail();
  if (request.standardOutput >= 0 && dup2(request.standardOutput, STDOUT_FILENO) < 0) fail();
  if (request.standardError >= 0 && dup2(request.standardError, STDERR_FILENO) < 0) fail();
  for (const int fd : request.inheritedFds) {
    if (fcntl(fd, F_SETFD, 0) != 0) fail();
  }
  if (request.directory && chdir(request.directory->c_str()) != 0) fail();
  execve(request.program.c_str(), argv, envp);
  fail();
  _exit(kExecFailedStatus);
}

std::vector<char*> pointersTo(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const std::string& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Whether `pid` ends by `deadline`, told by a process descriptor, which
// becomes readable when the child ends: one poll keeps the time, with no
// thread to start. Returns nothing when there is no such descriptor.
std::optional<bool> endsInTime(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  const Fd process(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
  if (!process) return std::nullopt;
  const Result<WaitEnd> waited = waitUntil(process.get(), POLLIN, deadline);
  if (!waited) return std::nullopt;
  return *waited == WaitEnd::kReady;
}

// Blocks until `pid` has ended, without reaping it, so that the pid cannot be
// reused while this thread may still kill it. Past `deadline` it kills the
// child (`target`: its pid, or its process group) and returns false.
bool awaitEnd(pid_t pid, pid_t target, std::optional<std::chrono::steady_clock::time_point> deadline) {
  auto blockUntilEnded = [pid] {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
  };
  if (!deadline) {
    blockUntilEnded();
    return true;
  }

  if (const std::optional<bool> inTime = endsInTime(pid, *deadline)) {
    if (!*inTime) {
      kill(target, SIGKILL);
      blockUntilEnded();
    }
    return *inTime;
  }

  // Without process descriptors (kernels before 5.3) a helper thread does
  // the blocking so that this one can keep the time.
  std::mutex mutex;
  std::condition_variable ended;
  bool hasEnded = false;
  std::thread watcher([&] {
    blockUntilEnded();
    const std::lock_guard lock(mutex);
    hasEnded = true;
    ended.notify_one();
  });
  bool inTime = true;
  {
    std::unique_lock lock(mutex);
    if (!ended.wait_until(lock, *deadline, [&] { return hasEnded; })) {
      inTime = false;
      kill(target, SIGKILL);
    }
  }
  watcher.join();
  return inTime;
}

}  // namespace

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), leadsGroup_(other.leadsGroup_), started_(other.started_) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    if (pid_ > 0) stop(SIGKILL);
    pid_ = std::exchange(other.pid_, -1);
    leadsGroup_ = other.leadsGroup_;
    started_ = other.started_;
  }
  return *this;
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) stop(SIGKILL);
}

void ChildProcess::stop(int signal) {
  if (pid_ <= 0) return;
  kill(leadsGroup_ ? -pid_ : pid_, signal);
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

ChildOutcome ChildProcess::wait(std::optional<std::chrono::steady_clock::duration> timeout) {
  ChildOutcome outcome;
  if (pid_ <= 0) return outcome;
  std::optional<std::chrono::steady_clock::time_point> deadline;
  if (timeout) deadline = started_ + *timeout;
  const bool timedOut = !awaitEnd(pid_, leadsGroup_ ? -pid_ : pid_, deadline);
  outcome.wallTime = std::chrono::steady_clock::now() - started_;

  int status = 0;
  rusage usage{};
  while (wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  pid_ = -1;

  outcome.peakRssKiB = usage.ru_maxrss;
  if (timedOut) {
    outcome.end = ChildOutcome::End::TimedOut;
    outcome.code = SIGKILL;
  } else if (WIFSIGNALED(status)) {
    outcome.end = ChildOutcome::End::Signaled;
    outcome.code = WTERMSIG(status);
  } else {
    outcome.end = ChildOutcome::End::Exited;
    outcome.code = WEXITSTATUS(status);
  }
  return outcome;
}

Result<ChildProcess> spawnChild(const SpawnRequest& request) {
  // Everything the child needs is built before vfork.
  const std::vector<char*> argv = pointersTo(request.arguments);
  const std::vector<char*> envp = pointersTo(request.environment);

  // The child reports a failed exec through this pipe; a successful exec
  // closes it (close-on-exec) with nothing written.
  Pipe errorPipe;
  if (!openPipe(errorPipe)) return fail("cannot create a pipe: " + errnoText(errno));

  const pid_t parent = getpid();
  const auto started = std::chrono::steady_clock::now();
  // vfork rather than fork: the child borrows this process's memory until it
  // execs, so no page tables are copied and this process takes no
  // copy-on-write faults afterwards.
  const pid_t pid = vfork();
  if (pid < 0) {
    const int error = errno;
    return fail("cannot start a process: " + errnoText(error));
  }
  if (pid == 0) becomeChild(request, argv.data(), envp.data(), errorPipe.write.get(), parent);
  ChildProcess child(pid, request.ownProcessGroup, started);

  errorPipe.write.reset();
  int childError = 0;
  ssize_t got;
  do {
    got = read(errorPipe.read.get(), &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  if (got == static_cast<ssize_t>(sizeof childError)) {
    child.wait();
    return fail("cannot start " + request.program + ": " + errnoText(childError));
  }
  return child;
}

std::optional<std::string> findOnPath(const std::string& name) {
  const char* path = getenv("PATH");
  std::istringstream directories(path ? path : "/usr/local/bin:/usr/bin:/bin");
  for (std::string directory; std::getline(directories, directory, ':');) {
    const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

std::vector<std::string> environmentWith(const std::string& name, const std::string& value) {
  std::vector<std::string> environment;
  const std::string prefix = name + "=";
  for (char** entry = environ; *entry; ++entry) {
    if (!std::string_view(*entry).starts_with(prefix)) environment.emplace_back(*entry);
  }
  environment.push_back(prefix + value);
  return environment;
}

}  // namespace tarnweld::posix
