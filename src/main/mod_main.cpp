#include "main/mod_main.h"

#include "core/names.h"
#include "register/registration_records.h"
#include "run/run_context.h"
#include "run/run_driver.h"

namespace tarnweld::modMain {

void entry(TextView argumentText, Backends backends) {
  RunContext context;
  if (argumentText == kRegisterSwitch.text()) {
    registerPlugin(context.host, backends.automation);
  } else if (argumentText == kRunSwitch.text()) {
    runTransformation(context, backends);
  }
  context.release();
}

}  // namespace tarnweld::modMain
