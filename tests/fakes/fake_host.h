// An in-memory host automation object. It serves the records it is given,
// keeps every call with its argument kinds, and fails the calls whose labels
// the shared log names. Labels: "host.create", "host.release", and
// "host.<operation>(<first argument>)", e.g. "host.hkp_DataGet(INPUT)".
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fakes/call_log.h"
#include "host/automation.h"

namespace tarnweld::fakes {

struct RecordedArg {
  enum class Kind { String, Int16, StringRef };
  Kind kind;
  Text text;
  std::int16_t number = 0;
  bool operator==(const RecordedArg&) const = default;
};

struct RecordedCall {
  std::string name;
  std::vector<RecordedArg> args;
  bool succeeded;
};

class FakeHost : public AutomationBackend {
 public:
  explicit FakeHost(CallLog& log) : log_(log) {}

  std::unique_ptr<AutomationObject> create(TextView progId) override;

  // The records that hkp_DataGet serves; a key not here gets nothing back.
  std::map<Text, Text> records;
  // Every call on an object, in order, failed ones included.
  std::vector<RecordedCall> calls;
  Text createdProgId;
  // The most characters one text argument may hold; longer texts are refused
  // (refusesText) with a reason that names both sizes. No limit when unset.
  std::optional<std::size_t> textLimit;

 private:
  CallLog& log_;
};

RecordedArg stringArg(TextView text);
RecordedArg refArg(TextView text);
RecordedArg intArg(std::int16_t number);

}  // namespace tarnweld::fakes
