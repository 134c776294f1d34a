// The real plug-in against a host that leaves in the middle of a run: this
// test serves the host object itself on a private bus, starts tarnweld
// /hkprun on a transformation that runs for minutes, and takes the host off
// the bus once the plug-in is inside it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "dbus/host_bus.h"
#include "posix/private_bus.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tarnweld {
namespace {

using namespace std::chrono_literals;

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// A started child that is killed and reaped if the test leaves it behind.
class Child {
 public:
  explicit Child(pid_t pid) : pid_(pid) {}
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  // Waits at most `limit` for the child to end; returns its wait status.
  std::optional<int> waitFor(std::chrono::milliseconds limit) {
    const Descriptor handle(static_cast<int>(syscall(SYS_pidfd_open, pid_, 0)));
    if (handle.get() < 0) return std::nullopt;
    pollfd ended{handle.get(), POLLIN, 0};
    if (poll(&ended, 1, static_cast<int>(limit.count())) != 1) return std::nullopt;
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) return std::nullopt;
    pid_ = 0;
    return status;
  }

 private:
  pid_t pid_;
};

// Reads marker.xml, then walks its thousand elements a thousand times over
// three levels: a billion steps, far longer than any test runs.
constexpr const char* kLongStylesheet =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:template match=\"/\"><xsl:variable name=\"n\" select=\"document('marker.xml')//n\"/>"
    "<xsl:for-each select=\"$n\"><xsl:for-each select=\"$n\"><xsl:for-each select=\"$n\">"
    "<xsl:if test=\"false()\">x</xsl:if>"
    "</xsl:for-each></xsl:for-each></xsl:for-each></xsl:template></xsl:stylesheet>";

TEST(HostLeavesTest, PluginEndsWithinASecondEvenInsideATransformation) {
  std::string error;
  const auto bus = posix::PrivateBus::start(error);
  ASSERT_TRUE(bus) << error;

  const test::TempDir dir;
  dir.write("long.xsl", kLongStylesheet);
  std::string marker = "<m>";
  for (int i = 0; i < 1000; ++i) marker += "<n/>";
  const std::filesystem::path markerPath = dir.write("marker.xml", marker + "</m>");
  // The marker is opened only from inside the transformation.
  const Descriptor opened(inotify_init1(IN_CLOEXEC));
  ASSERT_GE(opened.get(), 0);
  ASSERT_GE(inotify_add_watch(opened.get(), markerPath.c_str(), IN_OPEN), 0);
  std::string fileName = (dir.path() / "doc.xml").string();
  for (char& c : fileName) c = c == '/' ? '\\' : c;

  host::RecordStore store(false);
  store.add("INPUT", std::string("<?xml-stylesheet href=\"long.xsl\"?><doc/>"));
  store.add("FILE_NAME", fileName);
  auto hostBus = host::HostBus::open(bus->address(), store, {}, error);
  ASSERT_TRUE(hostBus) << error;

  const std::string address = "DBUS_SESSION_BUS_ADDRESS=" + bus->address();
  char* const argv[] = {const_cast<char*>(TARNWELD_PLUGIN_PATH), const_cast<char*>("/hkprun"), nullptr};
  char* const envp[] = {const_cast<char*>(address.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, TARNWELD_PLUGIN_PATH, nullptr, nullptr, argv, envp), 0);
  Child plugin(pid);

  pollfd reached{opened.get(), POLLIN, 0};
  ASSERT_EQ(poll(&reached, 1, 10'000), 1) << "the plug-in never reached the transformation";

  hostBus.reset();
  const auto status = plugin.waitFor(1000ms);
  ASSERT_TRUE(status.has_value()) << "the plug-in outlived its host by more than a second";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
}

}  // namespace
}  // namespace tarnweld
