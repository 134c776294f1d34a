// Starting and waiting for child processes: the private bus daemon, the
// plug-in, and the programs the tests and the benchmark run. A started child
// has an owner that waits for it; one that is dropped unwaited is killed and
// reaped, and no child outlives the thread that started it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/result.h"

namespace tarnweld::posix {

struct SpawnRequest {
  std::string program;                   // a path; not searched in PATH
  std::vector<std::string> arguments;    // argv[0] included
  std::vector<std::string> environment;  // NAME=value entries
  std::optional<std::string> directory;  // the child's working directory
  int standardInput = -1;                // -1: /dev/null
  int standardOutput = -1;               // -1: the parent's own
  int standardError = -1;                // -1: the parent's own
  std::vector<int> inheritedFds;         // further descriptors the child keeps, by number
  bool ownProcessGroup = false;          // lead a new process group, killed as a whole
};

// What became of a waited-for child.
struct ChildOutcome {
  enum class End { Exited, Signaled, TimedOut };
  End end = End::Exited;
  int code = 0;                                    // the exit status, or the signal
  std::chrono::steady_clock::duration wallTime{};  // from the start to the end
  long peakRssKiB = 0;
};

class ChildProcess;

// Starts `request.program`: the child, or why it could not be started (the
// exec error included).
Result<ChildProcess> spawnChild(const SpawnRequest& request);

// A started child until it has been waited for.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Kills (SIGKILL, with its process group when it leads one) and reaps a
  // child still held.
  ~ChildProcess();

  explicit operator bool() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Waits for the child to end, at most `timeout` from its start when one is
  // given; past it the child (with its process group, when it leads one) is
  // killed with SIGKILL and reported as timed out. Reaps the child; the owner
  // then holds nothing.
  ChildOutcome wait(std::optional<std::chrono::steady_clock::duration> timeout = std::nullopt);

  // Sends `signal` and reaps the child; the owner then holds nothing.
  void stop(int signal);

 private:
  friend Result<ChildProcess> spawnChild(const SpawnRequest& request);
  ChildProcess(pid_t pid, bool leadsGroup, std::chrono::steady_clock::time_point started)
      : pid_(pid), leadsGroup_(leadsGroup), started_(started) {}

  pid_t pid_ = -1;
  bool leadsGroup_ = false;
  std::chrono::steady_clock::time_point started_{};
};

// The first executable `name` on PATH, or nothing.
std::optional<std::string> findOnPath(const std::string& name);

// The current environment with `name` set to `value`.
std::vector<std::string> environmentWith(const std::string& name, const std::string& value);

}  // namespace tarnweld::posix
