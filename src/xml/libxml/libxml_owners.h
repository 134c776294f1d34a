// Owning pointers for every libxml2 and libxslt object the backend makes:
// each hands its object back to the library's own free function, so that a
// handle has an owner from the call that makes it and nothing leaks when a
// later step fails or throws.
#pragma once

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>

#include <memory>
#include <utility>

#include "posix/fd.h"

namespace tarnweld::xml {

// Descriptors are held as everywhere else in the Linux backends.
using posix::Fd;

template <auto Free>
struct FreeWith {
  template <typename T>
  void operator()(T* object) const {
    Free(object);
  }
};

using DocPtr = std::unique_ptr<xmlDoc, FreeWith<xmlFreeDoc>>;
using ParserCtxtPtr = std::unique_ptr<xmlParserCtxt, FreeWith<xmlFreeParserCtxt>>;
using StylesheetPtr = std::unique_ptr<xsltStylesheet, FreeWith<xsltFreeStylesheet>>;
using TransformCtxtPtr = std::unique_ptr<xsltTransformContext, FreeWith<xsltFreeTransformContext>>;
using SecurityPrefsPtr = std::unique_ptr<xsltSecurityPrefs, FreeWith<xsltFreeSecurityPrefs>>;
using ParserInputBufferPtr = std::unique_ptr<xmlParserInputBuffer, FreeWith<xmlFreeParserInputBuffer>>;
using BufferPtr = std::unique_ptr<xmlBuffer, FreeWith<xmlBufferFree>>;
// Closing an output buffer flushes it and closes its encoder, not its file.
using OutputBufferPtr = std::unique_ptr<xmlOutputBuffer, FreeWith<xmlOutputBufferClose>>;
// A handler found by name; the built-in ones ignore the close, the ones made
// for iconv free their converters.
using EncodingHandlerPtr = std::unique_ptr<xmlCharEncodingHandler, FreeWith<xmlCharEncCloseFunc>>;

// xmlFree is a hook variable, not a function, so it is called through one.
inline void freeXmlText(xmlChar* text) { xmlFree(text); }
using XmlCharPtr = std::unique_ptr<xmlChar, FreeWith<freeXmlText>>;

}  // namespace tarnweld::xml
