// The host editor's plug-in core object on the session bus: the bus name is
// the ProgID, the object and its interface are named after it, and each host
// operation is a method call whose arguments are variants.
#pragma once

#include <memory>

#include "host/automation.h"

namespace tarnweld {

// The object path and interface under which the host serves its plug-in core.
inline constexpr const char* kDbusObjectPath = "/htmlkit/HTMLKitPluginsCore";
inline constexpr const char* kDbusInterface = "htmlkit.HTMLKitPluginsCore";

std::unique_ptr<AutomationBackend> makeDbusAutomationBackend();

}  // namespace tarnweld
