// The shared child-process owner: a child nobody waits for does not outlive
// its owner, and a wait reports how the child ended. The private bus leaves
// nothing on disk.
#include "platform/posix/child_process.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>

#include "private_bus/private_bus.h"

namespace tarnweld::posix {
namespace {

Result<ChildProcess> spawnShell(const std::string& command) {
  SpawnRequest request;
  request.program = "/bin/sh";
  request.arguments = {"/bin/sh", "-c", command};
  // The shell's own children go with it, as a plug-in script's do.
  request.ownProcessGroup = true;
  return spawnChild(request);
}

TEST(ChildProcess, AChildDroppedUnwaitedIsKilledAndReaped) {
  pid_t pid = -1;
  {
    Result<ChildProcess> spawned = spawnShell("sleep 60; exit 0");
    ASSERT_TRUE(spawned) << spawned.reason();
    pid = spawned->pid();
  }
  // Reaped, not merely killed: the pid no longer names a (zombie) process.
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST(ChildProcess, WaitReportsExitSignalAndTimeout) {
  struct Row {
    const char* command;
    ChildOutcome::End end;
    int code;
  };
  const Row rows[] = {
      {"exit 3", ChildOutcome::End::Exited, 3},
      {"kill -TERM $$", ChildOutcome::End::Signaled, SIGTERM},
      {"sleep 60; exit 0", ChildOutcome::End::TimedOut, SIGKILL},
  };
  for (const Row& row : rows) {
    Result<ChildProcess> spawned = spawnShell(row.command);
    ASSERT_TRUE(spawned) << spawned.reason();
    const ChildOutcome outcome = spawned->wait(std::chrono::milliseconds(200));
    EXPECT_EQ(outcome.end, row.end) << row.command;
    EXPECT_EQ(outcome.code, row.code) << row.command;
    EXPECT_FALSE(*spawned) << row.command;
  }
}

// An abstract socket vanishes with the daemon, however it ends; a socket file
// would stay behind when the host is killed.
TEST(PrivateBus, ListensOnAnAbstractSocket) {
  const auto bus = PrivateBus::start();
  ASSERT_TRUE(bus) << bus.reason();
  EXPECT_TRUE((*bus)->address().starts_with("unix:abstract=")) << (*bus)->address();
}

}  // namespace
}  // namespace tarnweld::posix
