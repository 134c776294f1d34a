// The platform layers one start of the program works with: the host's
// automation objects and the XML parser. The platform's main makes them; the
// logic above receives them here and never learns which platform it runs on.
#pragma once

namespace tarnweld {

class AutomationBackend;
namespace xml {
class XmlParser;
}

struct Backends {
  AutomationBackend& automation;
  xml::XmlParser& parser;
};

}  // namespace tarnweld
