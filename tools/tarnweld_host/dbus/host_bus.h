// The host stand-in's side of the bus: owns the host's bus name, serves the
// plug-in core object from an event-loop thread of its own, and records every
// call in a RecordStore. The wire contract is the one in src/host/dbus/
// (CONTRACT.md, htmlkit.HTMLKitPluginsCore.xml).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host_options.h"
#include "host_records.h"

namespace tarnweld::host {

class HostBus {
 public:
  // Connects to the bus at `address` (empty: the session bus the environment
  // names), exports the object, takes the bus name and starts serving calls
  // into `store`, refusing those that match `rejects`. The name is owned
  // when this returns, so a plug-in started afterwards finds the host. On
  // failure returns nullptr and says why in `error`. With
  // FdPassing::kRefuse the connection to `address` does not negotiate
  // descriptor passing, as a host without it: the bus then refuses to pass it
  // any string sent as a memory file.
  enum class FdPassing { kNegotiate, kRefuse };
  static std::unique_ptr<HostBus> open(const std::string& address, RecordStore& store, std::vector<RejectRule> rejects,
                                       std::string& error, FdPassing fdPassing = FdPassing::kNegotiate);

  virtual ~HostBus() = default;

  // Stops serving and waits for a call in progress to finish; afterwards the
  // store may be read without a lock. Idempotent.
  virtual void stop() = 0;
};

}  // namespace tarnweld::host
