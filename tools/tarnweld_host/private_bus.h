// A private session bus for the host stand-in's own lifetime, so that a
// person (or a test) needs no desktop session: a dbus-daemon with a
// configuration of its own (no service activation, one abstract socket, the
// session bus's generous limits), stopped when this object goes and killed
// by the kernel if the host dies first.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

namespace tarnweld::host {

class PrivateBus {
 public:
  // Starts the daemon and waits for its address. On failure returns nullptr
  // and says why in `error`.
  static std::unique_ptr<PrivateBus> start(std::string& error);

  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;
  ~PrivateBus();

  const std::string& address() const { return address_; }

 private:
  PrivateBus(pid_t pid, std::string address) : pid_(pid), address_(std::move(address)) {}

  pid_t pid_;
  std::string address_;
};

}  // namespace tarnweld::host
