// The host editor's plug-in core object on the session bus: the bus name is
// the ProgID, the object and its interface are named after it, and each host
// operation is a method call whose arguments are variants. The wire contract
// is written down beside this file, in CONTRACT.md and as introspection data
// in htmlkit.HTMLKitPluginsCore.xml; the host stand-in (tools/tarnweld_host)
// serves the same contract.
#pragma once

#include <chrono>
#include <memory>

#include "host/automation.h"

namespace tarnweld {

// The object path and interface under which the host serves its plug-in core.
inline constexpr const char* kDbusObjectPath = "/htmlkit/HTMLKitPluginsCore";
inline constexpr const char* kDbusInterface = "htmlkit.HTMLKitPluginsCore";

// How long one host call (and the check that the host is on the bus) may take
// before it counts as failed.
inline constexpr std::chrono::seconds kDbusCallTimeout{25};

// Returns the session-bus backend. It connects to the bus named by
// DBUS_SESSION_BUS_ADDRESS (or, when that is unset, the per-user bus the
// system library defaults to). It never prints, never throws, and never
// starts a service: a ProgID whose bus name has no owner yields no object.
std::unique_ptr<AutomationBackend> makeDbusAutomationBackend();

}  // namespace tarnweld
