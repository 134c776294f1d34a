// The real plug-in against a host that leaves in the middle of a run: this
// test serves the host object itself on a private bus, starts tarnweld
// /hkprun on a transformation that runs for minutes, and takes the host off
// the bus once the plug-in is inside it: at once (before the plug-in's
// watcher has connected, in all likelihood), and once the watcher has asked
// who owns the host's name (so that only the host's leaving can tell it),
// with and without another connection queued to take the name over.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "dbus/host_bus.h"
#include "host/dbus/wire/sd_bus_owners.h"
#include "private_bus/private_bus.h"
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

// Counts the GetNameOwner questions put to the bus daemon, from a monitor
// connection: the plug-in asks once when it starts, its watcher once more
// when it connects.
class OwnerQuestions {
 public:
  explicit OwnerQuestions(const std::string& address) {
    sd_bus* raw = nullptr;
    int r = sd_bus_new(&raw);
    bus_.reset(raw);
    if (r >= 0) r = sd_bus_set_address(bus_.get(), address.c_str());
    if (r >= 0) r = sd_bus_set_bus_client(bus_.get(), 1);
    if (r >= 0) r = sd_bus_set_monitor(bus_.get(), 1);
    if (r >= 0) r = sd_bus_start(bus_.get());
    if (r >= 0) {
      r = sd_bus_call_method(bus_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus.Monitoring", "BecomeMonitor", nullptr, nullptr, "asu", 1,
                             "type='method_call',member='GetNameOwner'", 0u);
    }
    ready_ = r >= 0;
  }

  bool ready() const { return ready_; }

  // Waits, at most ten seconds, until `count` questions have been seen.
  bool awaitCount(int count) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (seen_ < count && std::chrono::steady_clock::now() < deadline) {
      sd_bus_message* raw = nullptr;
      const int r = sd_bus_process(bus_.get(), &raw);
      const sdbus_owners::MessagePtr message(raw);
      if (r < 0) return false;
      if (message && sd_bus_message_is_method_call(message.get(), nullptr, "GetNameOwner")) ++seen_;
      if (r == 0 && sd_bus_wait(bus_.get(), 100'000) < 0) return false;
    }
    return seen_ >= count;
  }

 private:
  sdbus_owners::BusPtr bus_;
  bool ready_ = false;
  int seen_ = 0;
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
  struct Case {
    const char* when;
    int questionsBefore;  // GetNameOwner questions seen before the host leaves
    bool queuedOwner;     // another connection takes the name as the host leaves
  };
  for (const Case& c :
       {Case{"as the transformation starts", 0, false}, Case{"once the watcher has connected", 2, false},
        Case{"once the watcher has connected, to a queued owner", 2, true}}) {
    SCOPED_TRACE(c.when);
    const auto started = posix::PrivateBus::start();
    ASSERT_TRUE(started) << started.reason();
    const auto& bus = *started;
    OwnerQuestions questions(bus->address());
    ASSERT_TRUE(questions.ready());

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
    for (char& ch : fileName) ch = ch == '/' ? '\\' : ch;

    host::RecordStore store(false);
    store.add("INPUT", std::string("<?xml-stylesheet href=\"long.xsl\"?><doc/>"));
    store.add("FILE_NAME", fileName);
    auto served = host::HostBus::open(bus->address(), store, {});
    ASSERT_TRUE(served) << served.reason();
    auto hostBus = std::move(*served);
    sdbus_owners::BusPtr queued;
    if (c.queuedOwner) {
      sd_bus* raw = nullptr;
      ASSERT_GE(sd_bus_new(&raw), 0);
      queued.reset(raw);
      ASSERT_GE(sd_bus_set_address(queued.get(), bus->address().c_str()), 0);
      ASSERT_GE(sd_bus_set_bus_client(queued.get(), 1), 0);
      ASSERT_GE(sd_bus_start(queued.get()), 0);
      ASSERT_EQ(sd_bus_request_name(queued.get(), "htmlkit.HTMLKitPluginsCore", SD_BUS_NAME_QUEUE), 0);
    }

    const std::string address = "DBUS_SESSION_BUS_ADDRESS=" + bus->address();
    char* const argv[] = {const_cast<char*>(TARNWELD_PLUGIN_PATH), const_cast<char*>("/hkprun"), nullptr};
    char* const envp[] = {const_cast<char*>(address.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TARNWELD_PLUGIN_PATH, nullptr, nullptr, argv, envp), 0);
    Child plugin(pid);

    pollfd reached{opened.get(), POLLIN, 0};
    ASSERT_EQ(poll(&reached, 1, 10'000), 1) << "the plug-in never reached the transformation";
    ASSERT_TRUE(questions.awaitCount(c.questionsBefore)) << "the plug-in's watcher never connected";

    hostBus.reset();
    const auto status = plugin.waitFor(1000ms);
    ASSERT_TRUE(status.has_value()) << "the plug-in outlived its host by more than a second";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  }
}

}  // namespace
}  // namespace tarnweld
