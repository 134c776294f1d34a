// The host stand-in's side of the bus: owns the host's bus name, serves the
// plug-in core object from an event-loop thread of its own, and records every
// call in a RecordStore. The wire contract is the one in src/host/dbus/
// (CONTRACT.md, htmlkit.HTMLKitPluginsCore.xml, and wire/ as code).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/result.h"
#include "host_options.h"
#include "host_records.h"

namespace tarnweld::host {

class HostBus {
 public:
  // Connects to the bus at `address` (empty: the session bus the environment
  // names), exports the object, takes the bus name and starts serving calls
  // into `store`, refusing those that match `rejects`. The name is owned
  // when this returns, so a plug-in started afterwards finds the host. With
  // FdPassing::kRefuse the connection to `address` does not negotiate
  // descriptor passing, as a host without it: the bus then refuses to pass it
  // any string sent as a memory file, and its own large strings go inside
  // the message. With FdPassing::kRefuseArguments the connection takes
  // descriptors (a Ping carrying one passes) but the object answers every
  // string argument sent as a memory file with InvalidArgs, as a host that
  // takes them only in some calls may.
  enum class FdPassing { kNegotiate, kRefuse, kRefuseArguments };
  static Result<std::unique_ptr<HostBus>> open(const std::string& address, RecordStore& store,
                                               std::vector<RejectRule> rejects,
                                               FdPassing fdPassing = FdPassing::kNegotiate);

  virtual ~HostBus() = default;

  // Stops serving and waits for a call in progress to finish; afterwards the
  // store may be read without a lock. Idempotent.
  virtual void stop() = 0;
};

}  // namespace tarnweld::host
