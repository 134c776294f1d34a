#include "register/registration_records.h"

#include "core/failure_policy.h"

namespace tarnweld {
namespace {

bool makeCall(PluginHost& host, const RegistrationRecord& record) {
  using Call = RegistrationRecord::Call;
  if (record.call == Call::SetGlobalSuffix) {
    return host.dataSetGlobalSuffix(std::get<TextView>(record.value));
  }
  return std::visit([&](auto value) { return host.dataAdd(record.key, value); }, record.value);
}

}  // namespace

void registerPlugin(PluginHost& host, AutomationBackend& backend) {
  runStep([&] { return host.create(backend); });
  for (const RegistrationRecord& record : RegistrationRecords) {
    runStep([&] { return makeCall(host, record); });
  }
}

}  // namespace tarnweld
