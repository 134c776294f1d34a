// The plug-in session on Linux: the host object on the session bus (a private
// one when the environment names none, or names one that cannot be reached),
// the plug-in a child process that gets the bus's address.
#include <stdlib.h>
#include <systemd/sd-bus.h>

#include <filesystem>
#include <iostream>
#include <memory>

#include "core/result.h"
#include "dbus/host_bus.h"
#include "host/dbus/wire/sd_bus_owners.h"
#include "platform/posix/child_process.h"
#include "platform/posix/errno_text.h"
#include "plugin_session.h"
#include "private_bus/private_bus.h"

namespace tarnweld::host {
namespace {

constexpr std::string_view kDefaultPluginName = "tarnweld";
// Where an install puts the plug-in, relative to the prefix (cmake/packaging.cmake).
constexpr std::string_view kInstalledPluginDirectory = "lib/tarnweld";

PluginEnd pluginEnd(const posix::ChildOutcome& outcome) {
  switch (outcome.end) {
    case posix::ChildOutcome::End::Signaled:
      return {PluginEnd::Kind::Signaled, outcome.code};
    case posix::ChildOutcome::End::TimedOut:
      return {PluginEnd::Kind::TimedOut, outcome.code};
    case posix::ChildOutcome::End::Exited:
      break;
  }
  return {PluginEnd::Kind::Exited, outcome.code};
}

// Whether a client connection to `address` can be started at all. A stale
// address (a desktop session that has ended, a variable forwarded over ssh)
// names a socket that is gone or that nobody listens on.
Status connectable(const char* address) {
  sd_bus* raw = nullptr;
  int r = sd_bus_new(&raw);
  const sdbus_owners::BusPtr bus(raw);
  if (r >= 0) r = sd_bus_set_address(bus.get(), address);
  if (r >= 0) r = sd_bus_set_bus_client(bus.get(), 1);
  if (r >= 0) r = sd_bus_start(bus.get());
  if (r < 0) return fail(posix::errnoText(r));
  return {};
}

}  // namespace

Result<PluginRun> runPlugin(const PluginLaunch& launch, RecordStore& store, const std::vector<RejectRule>& rejects) {
  // Without a session bus the host brings its own; the plug-in gets its address.
  std::unique_ptr<posix::PrivateBus> privateBus;
  std::unique_ptr<HostBus> bus;
  std::string address;
  if (const char* existing = getenv(posix::kBusAddressVariable); existing && *existing) {
    Result<std::unique_ptr<HostBus>> opened = HostBus::open(std::string(), store, rejects);
    if (opened) {
      bus = std::move(*opened);
      address = existing;
    } else if (const Status reached = connectable(existing); !reached.ok()) {
      // Only a bus that cannot be reached is replaced; any other failure
      // (the name owned by another host) stands.
      std::cerr << "tarnweld-host: the session bus at " << existing << " cannot be reached (" << reached.reason()
                << "); using a private bus instead\n";
    } else {
      return opened.failure();
    }
  }
  if (!bus) {
    Result<std::unique_ptr<posix::PrivateBus>> started = posix::PrivateBus::start();
    if (!started) return started.failure();
    privateBus = std::move(*started);
    address = privateBus->address();
    Result<std::unique_ptr<HostBus>> opened = HostBus::open(address, store, rejects);
    if (!opened) return opened.failure();
    bus = std::move(*opened);
  }

  posix::SpawnRequest plugin;
  plugin.program = launch.program;
  plugin.arguments = {launch.program, launch.switchText};
  plugin.directory = launch.directory;
  plugin.environment = posix::environmentWith(posix::kBusAddressVariable, address);
  plugin.ownProcessGroup = true;
  Result<posix::ChildProcess> spawned = posix::spawnChild(plugin);
  if (!spawned) return fail("cannot start the plug-in: " + spawned.reason());
  const posix::ChildOutcome outcome = spawned->wait(launch.timeout);
  bus->stop();
  return PluginRun{pluginEnd(outcome), outcome.wallTime, outcome.peakRssKiB};
}

std::string defaultPluginPath() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::string(kDefaultPluginName);
  // Beside this program in a build tree; in an install, bin/tarnweld-host
  // finds lib/tarnweld/tarnweld.
  const auto beside = self.parent_path() / kDefaultPluginName;
  const auto installed = self.parent_path().parent_path() / kInstalledPluginDirectory / kDefaultPluginName;
  if (!std::filesystem::exists(beside, error) && std::filesystem::exists(installed, error)) return installed.string();
  return beside.string();
}

std::vector<std::string> programArguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

}  // namespace tarnweld::host
