// The host editor's plug-in core object on the session bus: the bus name is
// the ProgID, the object and its interface are named after it, and each host
// operation is a method call whose arguments are variants. The wire contract
// is written down beside this file, in CONTRACT.md and as introspection data
// in htmlkit.HTMLKitPluginsCore.xml; the host stand-in (tools/tarnweld_host)
// serves the same contract.
#pragma once

#include <cstddef>
#include <memory>

#include "host/automation.h"

namespace tarnweld {

// The object path and interface under which the host serves its plug-in core.
inline constexpr const char* kDbusObjectPath = "/htmlkit/HTMLKitPluginsCore";
inline constexpr const char* kDbusInterface = "htmlkit.HTMLKitPluginsCore";

// A string of at least this many bytes as UTF-8 is sent as a sealed memory
// file (a variant "h") rather than inside the message ("s"): it then passes
// the bus daemon as a descriptor, uncopied, and no message size bounds it.
// Both sides accept either form at any size.
inline constexpr std::size_t kDbusTextByDescriptorBytes = std::size_t{64} << 10;
// The largest string, as UTF-8, that goes inside a message: for a host whose
// connection cannot take descriptors. A message is at most 128 MiB whole;
// this leaves room for the rest of a call.
inline constexpr std::size_t kDbusLargestStringBytes = (std::size_t{128} << 20) - (std::size_t{4} << 10);

// Returns the session-bus backend. It connects to the bus named by
// DBUS_SESSION_BUS_ADDRESS (or, when that is unset, the per-user bus the
// system library defaults to). It never prints, never throws, and never
// starts a service: a ProgID whose bus name has no owner yields no object.
//
// A host call waits for its answer as long as the host is on the bus; there
// is no fixed bound. A host that leaves fails the call at once.
//
// The host is the connection that owns the ProgID's bus name when the object
// is created: every call of the object is addressed to that connection's
// unique name, so a result never reaches a connection that takes the bus
// name later (a call made after the host has left fails).
//
// With WhenHostLeaves::EndProcess (the plug-in's choice) the process never
// outlives its host: while an object lives, a watcher on a bus connection of
// its own ends the process at once (status 0, nothing printed) when the
// host's connection leaves the bus or the watcher's own connection closes,
// whatever the program's thread is doing. Releasing the object stops and joins the
// watcher. A process that serves the host object itself (a test) keeps
// running instead: only its calls fail.
enum class WhenHostLeaves { CarryOn, EndProcess };
std::unique_ptr<AutomationBackend> makeDbusAutomationBackend(WhenHostLeaves whenHostLeaves = WhenHostLeaves::CarryOn);

}  // namespace tarnweld
