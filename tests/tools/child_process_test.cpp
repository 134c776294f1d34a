// The shared child-process owner: a child nobody waits for does not outlive
// its owner, and a wait reports how the child ended. The one deadline wait
// tells what ended it; a stoppable thread's signal ends its waits for good.
// The private bus leaves nothing on disk.
#include "platform/posix/child_process.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/time.h>

#include <chrono>
#include <optional>
#include <vector>

#include "platform/posix/deadline_wait.h"
#include "platform/posix/errno_text.h"
#include "platform/posix/fd.h"
#include "platform/posix/stop_signal.h"
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

TEST(DeadlineWait, TellsReadyStoppedAndTimedOutApart) {
  using namespace std::chrono_literals;
  struct Row {
    const char* what;
    bool dataWaiting;
    bool stopSignalled;
    WaitEnd end;
  };
  const Row rows[] = {
      {"data waiting", true, false, WaitEnd::kReady},
      {"stop signalled", false, true, WaitEnd::kStopped},
      {"stop wins over data", true, true, WaitEnd::kStopped},
      {"nothing before the deadline", false, false, WaitEnd::kTimedOut},
  };
  for (const Row& row : rows) {
    Pipe data, stop;
    ASSERT_TRUE(openPipe(data) && openPipe(stop));
    ASSERT_TRUE(!row.dataWaiting || writeAll(data.write.get(), "x"));
    ASSERT_TRUE(!row.stopSignalled || writeAll(stop.write.get(), "x"));
    const auto started = std::chrono::steady_clock::now();
    const Result<WaitEnd> end = waitUntil(data.read.get(), POLLIN, started + 50ms, stop.read.get());
    ASSERT_TRUE(end) << row.what << ": " << end.reason();
    EXPECT_EQ(*end, row.end) << row.what;
    if (row.end == WaitEnd::kTimedOut) {
      EXPECT_GE(std::chrono::steady_clock::now() - started, 50ms) << row.what;
    }
  }
}

// Waiting to write: a pipe with room is ready for it at once, a full one
// only once it has room, never by its deadline.
TEST(DeadlineWait, WaitsForRoomToWrite) {
  using namespace std::chrono_literals;
  Pipe data, stop;
  ASSERT_TRUE(openPipe(data) && openPipe(stop));
  Result<WaitEnd> end = waitUntil(data.write.get(), POLLOUT, std::chrono::steady_clock::now() + 1s, stop.read.get());
  ASSERT_TRUE(end) << end.reason();
  EXPECT_EQ(*end, WaitEnd::kReady);
  ASSERT_EQ(fcntl(data.write.get(), F_SETFL, O_NONBLOCK), 0);
  while (write(data.write.get(), "xxxxxxxxxxxxxxxx", 16) > 0) {
  }
  end = waitUntil(data.write.get(), POLLOUT, std::chrono::steady_clock::now() + 50ms, stop.read.get());
  ASSERT_TRUE(end) << end.reason();
  EXPECT_EQ(*end, WaitEnd::kTimedOut);
}

// A signal that arrives during the wait interrupts poll; the wait goes on
// to its deadline rather than failing.
TEST(DeadlineWait, ASignalDoesNotEndTheWait) {
  using namespace std::chrono_literals;
  struct sigaction action {};
  action.sa_handler = [](int) {};
  struct sigaction saved {};
  ASSERT_EQ(sigaction(SIGALRM, &action, &saved), 0);  // without SA_RESTART
  Pipe data, stop;
  ASSERT_TRUE(openPipe(data) && openPipe(stop));
  itimerval timer{};
  timer.it_value.tv_usec = 20'000;
  ASSERT_EQ(setitimer(ITIMER_REAL, &timer, nullptr), 0);
  const auto started = std::chrono::steady_clock::now();
  const Result<WaitEnd> end = waitUntil(data.read.get(), POLLIN, started + 200ms, stop.read.get());
  sigaction(SIGALRM, &saved, nullptr);
  ASSERT_TRUE(end) << end.reason();
  EXPECT_EQ(*end, WaitEnd::kTimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);
}

// An abstract socket vanishes with the daemon, however it ends; a socket file
// would stay behind when the host is killed.
// A thread's loop that waits on its stop signal with no deadline ends when
// the thread is dropped, and every later wait ends at once as well.
TEST(StoppableThread, DroppingItEndsEveryWaitOnItsSignal) {
  std::vector<Result<WaitEnd>> ends;
  {
    StoppableThread thread;
    const Status started = thread.start([&ends](int stop) {
      for (int wait = 0; wait < 2; ++wait) ends.push_back(waitUntil(-1, 0, std::nullopt, stop));
    });
    ASSERT_TRUE(started) << started.reason();
  }
  ASSERT_EQ(ends.size(), 2u);
  for (const Result<WaitEnd>& end : ends) {
    ASSERT_TRUE(end) << end.reason();
    EXPECT_EQ(*end, WaitEnd::kStopped);
  }
}

// sd-bus answers -errno where the C library sets errno: both name the error.
TEST(ErrnoText, NamesAnErrorGivenEitherWay) {
  EXPECT_EQ(errnoText(ENOENT), "No such file or directory");
  EXPECT_EQ(errnoText(-ENOENT), "No such file or directory");
}

TEST(PrivateBus, ListensOnAnAbstractSocket) {
  const auto bus = PrivateBus::start();
  ASSERT_TRUE(bus) << bus.reason();
  EXPECT_TRUE((*bus)->address().starts_with("unix:abstract=")) << (*bus)->address();
}

}  // namespace
}  // namespace tarnweld::posix
