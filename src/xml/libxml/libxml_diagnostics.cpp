#include "xml/libxml/libxml_diagnostics.h"

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxslt/xsltutils.h>

namespace tarnweld::xml {

void ErrorCollector::structuredHandler(void* context, xmlErrorPtr error) {
  if (context && error) static_cast<ErrorCollector*>(context)->record(*error);
}

// Generic messages (xsl:message text, compilation notes, I/O chatter) are
// swallowed: whether a call failed is decided by the library's state and the
// structured errors, never by whether text arrived here.
void ErrorCollector::genericHandler(void*, const char*, ...) {}

void ErrorCollector::record(const xmlError& error) {
  if (firstError_) return;
  // A document without a DTD is well-formed and loads even when validation
  // was asked for; the parser still complains that it found none.
  if (error.code == XML_DTD_NO_DTD) return;
  const bool resourceFailure = error.domain == XML_FROM_IO;
  if (resourceFailure ? !resourcesRequired_ : error.level < XML_ERR_ERROR) return;

  Diagnostic diagnostic;
  if (error.message) diagnostic.message = error.message;
  while (!diagnostic.message.empty() && (diagnostic.message.back() == '\n' || diagnostic.message.back() == '\r')) {
    diagnostic.message.pop_back();
  }
  if (error.file) diagnostic.file = error.file;
  diagnostic.line = error.line;
  diagnostic.column = error.int2;
  firstError_ = std::move(diagnostic);
}

DiagnosticsCapture::DiagnosticsCapture(ErrorCollector& collector)
    : savedStructured_(xmlStructuredError),
      savedStructuredContext_(xmlStructuredErrorContext),
      savedGeneric_(xmlGenericError),
      savedGenericContext_(xmlGenericErrorContext),
      savedXsltGeneric_(xsltGenericError),
      savedXsltGenericContext_(xsltGenericErrorContext) {
  xmlSetStructuredErrorFunc(&collector, &ErrorCollector::structuredHandler);
  xmlSetGenericErrorFunc(&collector, &ErrorCollector::genericHandler);
  xsltSetGenericErrorFunc(&collector, &ErrorCollector::genericHandler);
}

DiagnosticsCapture::~DiagnosticsCapture() {
  xmlSetStructuredErrorFunc(savedStructuredContext_, savedStructured_);
  xmlSetGenericErrorFunc(savedGenericContext_, savedGeneric_);
  xsltSetGenericErrorFunc(savedXsltGenericContext_, savedXsltGeneric_);
}

}  // namespace tarnweld::xml
