// Placeholder until the libxml2 backend lands: no document can be created.
#include "xml/libxml_parser.h"

namespace tarnweld::xml {
namespace {
class NoParser : public XmlParser {
 public:
  std::unique_ptr<XmlDocument> createDocument() override { return nullptr; }
};
}  // namespace

std::unique_ptr<XmlParser> makeLibxmlParser() { return std::make_unique<NoParser>(); }

}  // namespace tarnweld::xml
