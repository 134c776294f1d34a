#include "private_bus/private_bus.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <string_view>

#include "platform/posix/deadline_wait.h"
#include "platform/posix/errno_text.h"
#include "platform/posix/fd.h"
#include "platform/posix/sealed_memfd.h"

namespace tarnweld::posix {
namespace {

// Message limits as on a desktop session bus; large texts pass as memory
// file descriptors, which the Unix socket carries, not inside messages. The
// socket is abstract, so it leaves nothing on disk even when the daemon is
// killed; LISTEN below is replaced by a name of this start's own.
constexpr std::string_view kListenPlaceholder = "LISTEN";
constexpr std::string_view kBusConfiguration =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>LISTEN</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
  <limit name="max_incoming_bytes">1000000000</limit>
  <limit name="max_outgoing_bytes">1000000000</limit>
  <limit name="max_message_size">1000000000</limit>
</busconfig>
)";

// A daemon that has not printed its address by then is not going to.
constexpr std::chrono::seconds kStartupTimeout{10};

// The daemon's complaint, kept in a memory file so that it can never block
// the daemon by filling a pipe.
std::string readAll(int fd) {
  std::string text;
  char buffer[4096];
  if (lseek(fd, 0, SEEK_SET) != 0) return text;
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(got));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// An abstract socket name no other start on this machine uses.
std::string listenAddress() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return "unix:abstract=tarnweld-host-" + std::to_string(getpid()) + "-" + std::to_string(now);
}

}  // namespace

Result<std::unique_ptr<PrivateBus>> PrivateBus::start() {
  const auto daemon = findOnPath("dbus-daemon");
  if (!daemon) {
    return fail("DBUS_SESSION_BUS_ADDRESS is not set and no dbus-daemon was found on PATH to start a private bus");
  }

  Fd config = posix::makeMemoryFile("tarnweld-host-bus.conf");
  Fd log = posix::makeMemoryFile("tarnweld-host-bus.log");
  Pipe addressPipe;
  if (!config || !log || !openPipe(addressPipe)) {
    return fail("cannot prepare a private bus: " + errnoText(errno));
  }
  std::string configuration(kBusConfiguration);
  configuration.replace(configuration.find(kListenPlaceholder), kListenPlaceholder.size(), listenAddress());
  if (!writeAll(config.get(), configuration)) {
    return fail("cannot prepare a private bus: " + errnoText(errno));
  }

  SpawnRequest request;
  request.program = *daemon;
  request.arguments = {*daemon, "--config-file=/proc/self/fd/" + std::to_string(config.get()),
                       "--print-address=" + std::to_string(addressPipe.write.get()), "--nofork", "--nopidfile"};
  request.environment = environmentWith(kBusAddressVariable, "");
  request.standardOutput = log.get();
  request.standardError = log.get();
  request.inheritedFds = {config.get(), addressPipe.write.get()};
  Result<ChildProcess> spawned = spawnChild(request);
  addressPipe.write.reset();
  if (!spawned) return fail("cannot start a private bus: " + spawned.reason());

  // The address comes as one line; end of file first means the daemon gave
  // up. The time counts from the start, however many pieces the line takes.
  const auto deadline = std::chrono::steady_clock::now() + kStartupTimeout;
  std::string address;
  for (;;) {
    const Result<WaitEnd> waited = waitUntil(addressPipe.read.get(), POLLIN, deadline);
    if (!waited || *waited != WaitEnd::kReady) break;
    char buffer[512];
    const ssize_t got = read(addressPipe.read.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    address.append(buffer, static_cast<std::size_t>(got));
    if (address.find('\n') != std::string::npos) break;
  }
  const std::size_t lineEnd = address.find('\n');
  if (lineEnd == std::string::npos) {
    spawned->stop(SIGTERM);
    const std::string complaint = readAll(log.get());
    return fail("the private dbus-daemon did not start" + (complaint.empty() ? std::string() : ": " + complaint));
  }
  address.resize(lineEnd);
  return std::unique_ptr<PrivateBus>(new PrivateBus(std::move(*spawned), std::move(address)));
}

PrivateBus::~PrivateBus() { daemon_.stop(SIGTERM); }

}  // namespace tarnweld::posix
