// Linux: the host editor's object on the session bus, libxml2 and libxslt.
#include "host/dbus/dbus_automation.h"
#include "main/platform.h"
#include "xml/libxml/libxml_parser.h"

namespace tarnweld {

namespace {
// The documents are released just before the process ends (modMain::entry),
// so their trees are left to it; the sanitizer build frees everything, so
// that a leak still shows.
#ifdef TARNWELD_SANITIZE
constexpr xml::TreeRelease kTreeRelease = xml::TreeRelease::Free;
#else
constexpr xml::TreeRelease kTreeRelease = xml::TreeRelease::LeftToProcessEnd;
#endif
}  // namespace

PlatformBackends makePlatformBackends() {
  // The plug-in never outlives its host editor.
  return {makeDbusAutomationBackend(WhenHostLeaves::EndProcess), xml::makeLibxmlParser(kTreeRelease)};
}

}  // namespace tarnweld
