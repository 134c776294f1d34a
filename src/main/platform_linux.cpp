// Linux: the host editor's object on the session bus, libxml2 and libxslt.
#include "host/dbus/dbus_automation.h"
#include "main/platform.h"
#include "xml/libxml/libxml_parser.h"

namespace tarnweld {

PlatformBackends makePlatformBackends() {
  // The plug-in never outlives its host editor.
  return {makeDbusAutomationBackend(WhenHostLeaves::EndProcess), xml::makeLibxmlParser()};
}

}  // namespace tarnweld
