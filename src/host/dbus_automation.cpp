// Placeholder until the bus backend lands: no host object can be created.
#include "host/dbus_automation.h"

namespace tarnweld {
namespace {
class NoHostBackend : public AutomationBackend {
 public:
  std::unique_ptr<AutomationObject> create(std::u16string_view) override { return nullptr; }
};
}  // namespace

std::unique_ptr<AutomationBackend> makeDbusAutomationBackend() { return std::make_unique<NoHostBackend>(); }

}  // namespace tarnweld
