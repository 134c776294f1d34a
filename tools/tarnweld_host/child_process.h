// Starting and waiting for the two children of the host stand-in: the
// private bus daemon and the plug-in. A child never outlives the host: it is
// killed when the host's main thread ends, however that happens.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "host_records.h"

namespace tarnweld::host {

struct SpawnRequest {
  std::string program;                   // a path; not searched in PATH
  std::vector<std::string> arguments;    // argv[0] included
  std::vector<std::string> environment;  // NAME=value entries
  std::optional<std::string> directory;  // the child's working directory
  int standardInput = -1;                // -1: /dev/null
  int standardOutput = -1;               // -1: the host's own
  int standardError = -1;                // -1: the host's own
  std::vector<int> inheritedFds;         // further descriptors the child keeps, by number
  bool ownProcessGroup = false;          // lead a new process group, killed as a whole on timeout
};

// The child's pid, or why it could not be started (the exec error included).
struct SpawnResult {
  pid_t pid = -1;
  std::string error;
};

SpawnResult spawnChild(const SpawnRequest& request);

// What became of a waited-for child.
struct ChildOutcome {
  PluginEnd end;
  std::chrono::steady_clock::duration wallTime{};
  long peakRssKiB = 0;
};

// Waits for `pid` to end, at most `timeout` (measured from `started`); past
// it the child (with its process group, when it leads one) is killed with
// SIGKILL and reported as timed out. Reaps the child.
ChildOutcome waitForChild(pid_t pid, std::chrono::steady_clock::time_point started,
                          std::chrono::steady_clock::duration timeout, bool killProcessGroup);

// The first executable `name` on PATH, or nothing.
std::optional<std::string> findOnPath(const std::string& name);

// The current environment with `name` set to `value`.
std::vector<std::string> environmentWith(const std::string& name, const std::string& value);

}  // namespace tarnweld::host
