#include "host/plugin_host.h"

#include "core/names.h"

namespace tarnweld {

bool PluginHost::create(AutomationBackend& backend) {
  object_ = backend.create(kPluginsCoreProgId.text());
  return object_ != nullptr;
}

bool PluginHost::invoke(std::u16string_view name, std::initializer_list<AutomationArg> args) {
  return object_ && object_->invoke(name, std::span(args.begin(), args.size()));
}

bool PluginHost::dataSetGlobalSuffix(std::u16string_view suffix) {
  return invoke(host_op::kDataSetGlobalSuffix.text(), {suffix});
}

bool PluginHost::dataAdd(std::u16string_view key, std::u16string_view value) {
  return invoke(host_op::kDataAdd.text(), {key, value});
}

bool PluginHost::dataAdd(std::u16string_view key, std::int16_t value) {
  return invoke(host_op::kDataAdd.text(), {key, value});
}

bool PluginHost::dataAddByRef(std::u16string_view key, std::u16string& value) {
  return invoke(host_op::kDataAdd.text(), {key, StringRef{&value}});
}

bool PluginHost::dataAddInt(std::u16string_view key, std::int16_t value) {
  return invoke(host_op::kDataAddInt.text(), {key, value});
}

bool PluginHost::dataGet(std::u16string_view key, std::u16string& value) {
  return invoke(host_op::kDataGet.text(), {key, StringRef{&value}});
}

}  // namespace tarnweld
