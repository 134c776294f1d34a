// A private session bus for the lifetime of one object, so that the host
// stand-in, the tests and the benchmark need no desktop session: a
// dbus-daemon with a configuration of its own (no service activation, one
// abstract socket, the session bus's generous limits), stopped when this
// object goes and killed by the kernel if its starter dies first.
#pragma once

#include <memory>
#include <string>

#include "core/result.h"
#include "platform/posix/child_process.h"

namespace tarnweld::posix {

// The variable that names the session bus to a client.
inline constexpr const char* kBusAddressVariable = "DBUS_SESSION_BUS_ADDRESS";

class PrivateBus {
 public:
  // Starts the daemon and waits for its address.
  static Result<std::unique_ptr<PrivateBus>> start();

  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;
  ~PrivateBus();

  const std::string& address() const { return address_; }

 private:
  PrivateBus(ChildProcess daemon, std::string address) : daemon_(std::move(daemon)), address_(std::move(address)) {}

  ChildProcess daemon_;
  std::string address_;
};

}  // namespace tarnweld::posix
