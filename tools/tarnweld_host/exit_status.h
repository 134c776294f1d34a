// The host stand-in's exit statuses, and the sign by which it tells a
// report from a result. The options' help text names them; the verdicts give
// them.
#pragma once

#include <string_view>

#include "core/names.h"

namespace tarnweld::host {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitPluginFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSetup = 3;
// The plug-in handed back an error report rather than a result.
inline constexpr int kExitReport = 4;
// What the plug-in handed back (or the listing, the help) could not all be
// written to standard output: a full disk, a closed pipe, an I/O error. It
// outranks every other status: the reader has not got what it asked for.
inline constexpr int kExitOutputLost = 5;

// How every report of the program begins, the empty-input message included
// (src/run): the one sign by which a script tells a report from a result.
inline constexpr std::string_view kReportStart = kReportPrefix.ascii();

}  // namespace tarnweld::host
