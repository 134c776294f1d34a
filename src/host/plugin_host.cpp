#include "host/plugin_host.h"

#include <string>

#include "core/names.h"
#include "text/utf.h"

namespace tarnweld {

bool PluginHost::create(AutomationBackend& backend) {
  object_ = backend.create(kPluginsCoreProgId.text());
  return object_ != nullptr;
}

std::optional<Text> PluginHost::refusesText(const Text& text) const {
  if (!object_) return std::nullopt;
  // Counted once where the text was made, when it was: no pass of its own.
  if (const std::size_t units = utf16Length(text); units > kMaxTextUnits) {
    return textFromAscii("the result is " + std::to_string(units) + " characters, over the host's limit of " +
                         std::to_string(kMaxTextUnits) + " characters in one text");
  }
  return object_->refusesText(text);
}

bool PluginHost::invoke(TextView name, std::initializer_list<AutomationArg> args) {
  return object_ && object_->invoke(name, std::span(args.begin(), args.size()));
}

bool PluginHost::dataSetGlobalSuffix(TextView suffix) { return invoke(host_op::kDataSetGlobalSuffix.text(), {suffix}); }

bool PluginHost::dataAdd(TextView key, TextView value) { return invoke(host_op::kDataAdd.text(), {key, value}); }

bool PluginHost::dataAdd(TextView key, std::int16_t value) { return invoke(host_op::kDataAdd.text(), {key, value}); }

bool PluginHost::dataAddByRef(TextView key, Text& value) {
  return invoke(host_op::kDataAdd.text(), {key, StringRef{&value}});
}

bool PluginHost::dataAddInt(TextView key, std::int16_t value) {
  return invoke(host_op::kDataAddInt.text(), {key, value});
}

bool PluginHost::dataGet(TextView key, Text& value) {
  return invoke(host_op::kDataGet.text(), {key, StringRef{&value}});
}

}  // namespace tarnweld
