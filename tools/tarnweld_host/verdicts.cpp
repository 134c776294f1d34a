#include "verdicts.h"

#include <algorithm>
#include <cstdio>

#include "platform/process_io.h"

namespace tarnweld::host {
namespace {

std::string describeEnd(const PluginEnd& end, double timeoutSeconds) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds);
  switch (end.kind) {
    case PluginEnd::Kind::TimedOut:
      return std::string("the plug-in did not finish within ") + seconds + " s and was killed";
    case PluginEnd::Kind::Signaled:
      return "the plug-in crashed: killed by signal " + std::to_string(end.code) + platform::describeSignal(end.code);
    case PluginEnd::Kind::Exited:
      return "the plug-in exited with status " + std::to_string(end.code);
  }
  return {};
}

bool endedNormally(const PluginEnd& end) { return end.kind == PluginEnd::Kind::Exited && end.code == 0; }

}  // namespace

Verdict judgeRegistration(const PluginEnd& end, double timeoutSeconds, const std::vector<HostCall>& calls) {
  if (!endedNormally(end)) return {kExitPluginFailed, describeEnd(end, timeoutSeconds)};
  const bool addedARecord = std::any_of(calls.begin(), calls.end(), [](const HostCall& call) {
    return call.operation == kOpDataAdd || call.operation == kOpDataAddInt;
  });
  if (!addedARecord) return {kExitPluginFailed, "the plug-in exited without adding a record"};
  return {};
}

Verdict judgeRun(const PluginEnd& end, double timeoutSeconds, const RecordValue* output,
                 const RecordValue* outputMode) {
  if (!endedNormally(end)) return {kExitPluginFailed, describeEnd(end, timeoutSeconds)};
  const bool hasOutput = output && stringOf(*output).has_value();
  const auto* mode = outputMode ? std::get_if<std::int16_t>(outputMode) : nullptr;
  const std::string outputKey(run_key::kOutput.ascii()), modeKey(run_key::kOutputMode.ascii());
  if (!hasOutput && !mode) {
    return {kExitPluginFailed, "the plug-in exited without sending " + outputKey + " or " + modeKey};
  }
  if (!hasOutput) return {kExitPluginFailed, "the plug-in exited without sending " + outputKey};
  if (!mode) return {kExitPluginFailed, "the plug-in exited without sending " + modeKey};
  if (*mode != kOutputMode) {
    return {kExitPluginFailed,
            "the plug-in sent " + modeKey + " " + std::to_string(*mode) + ", not " + std::to_string(kOutputMode)};
  }
  if (stringOf(*output).value_or("").starts_with(kReportStart)) return {kExitReport, {}};
  return {};
}

}  // namespace tarnweld::host
