// Every diagnostic libxml2 and libxslt raise during one call of a document,
// caught in one place: none reaches stdout or stderr, and a load learns its
// first error from here. The libraries report through several process-wide
// channels; a DiagnosticsCapture owns all of them for its lifetime and hands
// them back as it found them.
#pragma once

#include <libxml/xmlerror.h>

#include <optional>
#include <string>

namespace tarnweld::xml {

// The first error of a call, as libxml2 described it.
struct Diagnostic {
  std::string message;  // UTF-8, without its trailing line break
  std::string file;     // the resource it was found in; empty for text given in memory
  int line = 0;         // 1-based; 0 when the library gave none
  int column = 0;       // 1-based, in characters; 0 when the library gave none
};

class ErrorCollector {
 public:
  // `resourcesRequired`: a resource the document names (its DTD) that cannot
  // be read is an error, as when the document is to be validated; otherwise
  // it is only a warning and the load goes on without it.
  explicit ErrorCollector(bool resourcesRequired = false) : resourcesRequired_(resourcesRequired) {}

  // The first diagnostic that fails the call, if any arrived.
  const std::optional<Diagnostic>& firstError() const { return firstError_; }

  // The entry points the libraries call; `context` is the collector.
  static void structuredHandler(void* context, xmlErrorPtr error);
  static void genericHandler(void* context, const char* format, ...);

 private:
  void record(const xmlError& error);

  bool resourcesRequired_;
  std::optional<Diagnostic> firstError_;
};

// Routes the process-wide channels of libxml2 and libxslt (structured errors,
// generic errors of both libraries) into `collector` until destroyed, then
// restores the handlers that were installed before.
class DiagnosticsCapture {
 public:
  explicit DiagnosticsCapture(ErrorCollector& collector);
  ~DiagnosticsCapture();
  DiagnosticsCapture(const DiagnosticsCapture&) = delete;
  DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;

 private:
  xmlStructuredErrorFunc savedStructured_;
  void* savedStructuredContext_;
  xmlGenericErrorFunc savedGeneric_;
  void* savedGenericContext_;
  xmlGenericErrorFunc savedXsltGeneric_;
  void* savedXsltGenericContext_;
};

}  // namespace tarnweld::xml
