// The parser documents on MSXML 3.0: each document is a
// FreeThreadedDOMDocument30 held through IXMLDOMDocument2, and each operation
// of xml_document.h is the call of the same name, its status deciding
// success, except the transformation, which compiles the stylesheet in an
// XSLTemplate30 and runs it in its processor. The thread that uses the parser
// must be in a COM apartment for as long as any document lives.
#pragma once

#include <memory>

#include "xml/xml_document.h"

namespace tarnweld::xml {

// Returns the MSXML 3.0 parser. It never prints and never throws.
std::unique_ptr<XmlParser> makeMsxmlParser();

}  // namespace tarnweld::xml
