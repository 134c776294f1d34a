#include "child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>

extern char** environ;

namespace tarnweld::host {
namespace {

constexpr int kExecFailedStatus = 127;

// Runs in the forked child of a possibly multi-threaded parent: only
// async-signal-safe calls from here to execve.
[[noreturn]] void becomeChild(const SpawnRequest& request, char* const* argv, char* const* envp, int errorPipe,
                              pid_t parent) {
  auto fail = [&] {
    const int error = errno;
    [[maybe_unused]] ssize_t written = write(errorPipe, &error, sizeof error);
    _exit(kExecFailedStatus);
  };
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) fail();
  if (getppid() != parent) _exit(kExecFailedStatus);  // the host already ended
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

}  // namespace

SpawnResult spawnChild(const SpawnRequest& request) {
  // Everything the child needs is built before fork.
  const std::vector<char*> argv = pointersTo(request.arguments);
  const std::vector<char*> envp = pointersTo(request.environment);

  // The child reports a failed exec through this pipe; a successful exec
  // closes it (close-on-exec) with nothing written.
  int errorPipe[2];
  if (pipe2(errorPipe, O_CLOEXEC) != 0) return {-1, std::string("cannot create a pipe: ") + strerror(errno)};

  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    const int error = errno;
    close(errorPipe[0]);
    close(errorPipe[1]);
    return {-1, std::string("cannot fork: ") + strerror(error)};
  }
  if (pid == 0) becomeChild(request, argv.data(), envp.data(), errorPipe[1], parent);

  close(errorPipe[1]);
  int childError = 0;
  ssize_t got;
  do {
    got = read(errorPipe[0], &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  close(errorPipe[0]);
  if (got == static_cast<ssize_t>(sizeof childError)) {
    waitpid(pid, nullptr, 0);
    return {-1, "cannot start " + request.program + ": " + strerror(childError)};
  }
  return {pid, {}};
}

ChildOutcome waitForChild(pid_t pid, std::chrono::steady_clock::time_point started,
                          std::chrono::steady_clock::duration timeout, bool killProcessGroup) {
  // A helper thread blocks until the child has ended, without reaping it, so
  // that the pid cannot be reused while this thread may still kill it.
  std::mutex mutex;
  std::condition_variable ended;
  bool hasEnded = false;
  std::thread watcher([&] {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    const std::lock_guard lock(mutex);
    hasEnded = true;
    ended.notify_one();
  });

  bool timedOut = false;
  {
    std::unique_lock lock(mutex);
    if (!ended.wait_until(lock, started + timeout, [&] { return hasEnded; })) {
      timedOut = true;
      kill(killProcessGroup ? -pid : pid, SIGKILL);
    }
  }
  watcher.join();
  const auto wallTime = std::chrono::steady_clock::now() - started;

  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }

  ChildOutcome outcome;
  outcome.wallTime = wallTime;
  outcome.peakRssKiB = usage.ru_maxrss;
  if (timedOut) {
    outcome.end = {PluginEnd::Kind::TimedOut, SIGKILL};
  } else if (WIFSIGNALED(status)) {
    outcome.end = {PluginEnd::Kind::Signaled, WTERMSIG(status)};
  } else {
    outcome.end = {PluginEnd::Kind::Exited, WEXITSTATUS(status)};
  }
  return outcome;
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

}  // namespace tarnweld::host
