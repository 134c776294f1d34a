// The backends of the platform the program was built for. One small file per
// platform defines makePlatformBackends(); the build picks which. Nothing
// else in the program names a backend.
#pragma once

#include <memory>

#include "core/backends.h"
#include "host/automation.h"
#include "xml/xml_document.h"

namespace tarnweld {

struct PlatformBackends {
  std::unique_ptr<AutomationBackend> automation;
  std::unique_ptr<xml::XmlParser> parser;

  Backends view() const { return {*automation, *parser}; }
};

PlatformBackends makePlatformBackends();

}  // namespace tarnweld
