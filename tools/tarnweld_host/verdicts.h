// The stand-in's verdict on a plug-in session: its exit status and, unless
// it is success, a one-line reason.
#pragma once

#include <string>
#include <vector>

#include "exit_status.h"
#include "host_records.h"

namespace tarnweld::host {

// How the plug-in process ended.
struct PluginEnd {
  enum class Kind { Exited, Signaled, TimedOut };
  Kind kind = Kind::Exited;
  int code = 0;  // the exit status, or the signal
};

// The host's exit status and, unless it is success, a one-line reason.
struct Verdict {
  int exitStatus = kExitSuccess;
  std::string reason;
};

// A registration succeeds when the plug-in ended normally having added at
// least one record: a plug-in that ran nothing (a loader that failed and
// still exited 0) has not registered.
Verdict judgeRegistration(const PluginEnd& end, double timeoutSeconds, const std::vector<HostCall>& calls);

// A run succeeds when the plug-in ended normally having stored OUTPUT as a
// string and MODE_OUTPUT as the integer 7; an OUTPUT that is an error report
// then gives kExitReport, with no reason (the report says it).
Verdict judgeRun(const PluginEnd& end, double timeoutSeconds, const RecordValue* output, const RecordValue* outputMode);

}  // namespace tarnweld::host
