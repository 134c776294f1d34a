// The parser documents on libxml2 and libxslt.
#pragma once

#include <memory>

#include "xml/xml_document.h"

namespace tarnweld::xml {

std::unique_ptr<XmlParser> makeLibxmlParser();

}  // namespace tarnweld::xml
