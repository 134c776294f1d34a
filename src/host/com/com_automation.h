// The host editor's plug-in core object through COM: created by ProgID on the
// local machine (the editor's own process serves it) and called through
// IDispatch, each call bound by name when it is made. The thread that uses
// the backend must be in a COM apartment for as long as any object lives.
#pragma once

#include <memory>

#include "host/automation.h"

namespace tarnweld {

// Returns the COM backend. A ProgID that is not registered, or whose class
// offers no object, yields no object at once: nothing is started and nothing
// is retried. It never prints and never throws.
std::unique_ptr<AutomationBackend> makeComAutomationBackend();

}  // namespace tarnweld
