// Windows: the host editor's object through COM, MSXML 3.0.
#include "host/com/com_automation.h"
#include "main/make_backends.h"
#include "xml/msxml/msxml_parser.h"

namespace tarnweld {

PlatformBackends makePlatformBackends() { return {makeComAutomationBackend(), xml::makeMsxmlParser()}; }

}  // namespace tarnweld
