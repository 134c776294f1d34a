// PluginHost: this program's session with the host editor's plug-in core
// object. Every operation is one host call; a call on an empty session, or one
// the host rejects, fails and returns false, having stored nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/automation.h"

namespace tarnweld {

class PluginHost {
 public:
  // An empty session: every call fails.
  PluginHost() = default;

  // Creates the host object through `backend`. On failure the session stays
  // empty and returns false.
  bool create(AutomationBackend& backend);

  // Sets the suffix the host appends to the keys of the records that follow.
  bool dataSetGlobalSuffix(TextView suffix);
  // Stores a record with a string value.
  bool dataAdd(TextView key, TextView value);
  // Stores a record with a 16-bit integer value.
  bool dataAdd(TextView key, std::int16_t value);
  // Stores a record with a string passed by reference; the host may write to it.
  bool dataAddByRef(TextView key, Text& value);
  // Stores an integer record.
  bool dataAddInt(TextView key, std::int16_t value);
  // Reads a record into `value`; when the host supplies nothing, or the call
  // fails, `value` stays as it was.
  bool dataGet(TextView key, Text& value);

  // Returns why `text` cannot be handed to the host whole, or nothing when it
  // can (or when the session is empty, where every call fails anyway): a
  // text longer than the host's limit of kMaxTextUnits characters, or one
  // the backend cannot carry.
  std::optional<Text> refusesText(const Text& text) const;

  // Drops the reference to the host object; releasing an empty session does nothing.
  void release() { object_.reset(); }

 private:
  bool invoke(TextView name, std::initializer_list<AutomationArg> args);

  std::unique_ptr<AutomationObject> object_;
};

}  // namespace tarnweld
