#include "private_bus/private_bus.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <string_view>

#include "platform/posix/fd.h"

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
constexpr int kStartupTimeoutMs = 10000;

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

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

std::unique_ptr<PrivateBus> PrivateBus::start(std::string& error) {
  const auto daemon = findOnPath("dbus-daemon");
  if (!daemon) {
    error = "DBUS_SESSION_BUS_ADDRESS is not set and no dbus-daemon was found on PATH to start a private bus";
    return nullptr;
  }

  Fd config(memfd_create("tarnweld-host-bus.conf", MFD_CLOEXEC));
  Fd log(memfd_create("tarnweld-host-bus.log", MFD_CLOEXEC));
  Pipe addressPipe;
  if (!config || !log || !openPipe(addressPipe)) {
    error = std::string("cannot prepare a private bus: ") + strerror(errno);
    return nullptr;
  }
  std::string configuration(kBusConfiguration);
  configuration.replace(configuration.find(kListenPlaceholder), kListenPlaceholder.size(), listenAddress());
  if (!writeAll(config.get(), configuration)) {
    error = std::string("cannot prepare a private bus: ") + strerror(errno);
    return nullptr;
  }

  SpawnRequest request;
  request.program = *daemon;
  request.arguments = {*daemon, "--config-file=/proc/self/fd/" + std::to_string(config.get()),
                       "--print-address=" + std::to_string(addressPipe.write.get()), "--nofork", "--nopidfile"};
  request.environment = environmentWith(kBusAddressVariable, "");
  request.standardOutput = log.get();
  request.standardError = log.get();
  request.inheritedFds = {config.get(), addressPipe.write.get()};
  SpawnResult spawned = spawnChild(request);
  addressPipe.write.reset();
  if (!spawned.child) {
    error = "cannot start a private bus: " + spawned.error;
    return nullptr;
  }

  // The address comes as one line; end of file first means the daemon gave up.
  std::string address;
  for (;;) {
    pollfd ready{addressPipe.read.get(), POLLIN, 0};
    const int polled = poll(&ready, 1, kStartupTimeoutMs);
    if (polled < 0 && errno == EINTR) continue;
    char buffer[512];
    const ssize_t got = polled > 0 ? read(addressPipe.read.get(), buffer, sizeof buffer) : 0;
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    address.append(buffer, static_cast<std::size_t>(got));
    if (address.find('\n') != std::string::npos) break;
  }
  const std::size_t lineEnd = address.find('\n');
  if (lineEnd == std::string::npos) {
    spawned.child.stop(SIGTERM);
    const std::string complaint = readAll(log.get());
    error = "the private dbus-daemon did not start" + (complaint.empty() ? std::string() : ": " + complaint);
    return nullptr;
  }
  address.resize(lineEnd);
  return std::unique_ptr<PrivateBus>(new PrivateBus(std::move(spawned.child), std::move(address)));
}

PrivateBus::~PrivateBus() { daemon_.stop(SIGTERM); }

}  // namespace tarnweld::posix
