// Owners for the sd-bus objects, each taken the moment sd-bus hands it out:
// for the plug-in's backend and the host stand-in's bus service alike.
#pragma once

#include <systemd/sd-bus.h>

#include <memory>

namespace tarnweld::sdbus_owners {

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct SlotUnref {
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};

using BusPtr = std::unique_ptr<sd_bus, BusCloser>;
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

// An error a call may fill in, freed when its owner goes.
struct CallError {
  CallError() = default;
  CallError(const CallError&) = delete;
  CallError& operator=(const CallError&) = delete;
  ~CallError() { sd_bus_error_free(&value); }
  sd_bus_error value = SD_BUS_ERROR_NULL;
};

}  // namespace tarnweld::sdbus_owners
