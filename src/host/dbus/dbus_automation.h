// The host editor's plug-in core object on the session bus: the bus name is
// the ProgID, the object and its interface are named after it, and each host
// operation is a method call whose arguments are variants. The wire contract
// is written down beside this file, in CONTRACT.md and as introspection data
// in htmlkit.HTMLKitPluginsCore.xml, and as code in wire/, which the host
// stand-in (tools/tarnweld_host) serves it with too.
#pragma once

#include <memory>

#include "host/automation.h"

namespace tarnweld {

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
