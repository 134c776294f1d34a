// Every diagnostic libxml2 and libxslt raise during one call of a document,
// caught in one place: none reaches stdout or stderr, and a load learns its
// first error from here. The libraries report through several process-wide
// channels; a DiagnosticsCapture owns all of them for its lifetime and hands
// them back as it found them.
#pragma once

#include <libxml/xmlerror.h>
#include <libxslt/xsltInternals.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnweld::xml {

// The first error of a call, as libxml2 or libxslt described it.
struct Diagnostic {
  std::string message;  // UTF-8, without its trailing line break
  std::string file;     // the resource it was found in; empty for text given in memory
  int line = 0;         // 1-based; 0 when the library gave none
  int column = 0;       // 1-based, in characters; 0 when the library gave none
  int domain = 0;       // the part of libxml2 that raised it (xmlErrorDomain)
};

class ErrorCollector {
 public:
  // `resourcesRequired`: a resource the document names (its DTD) that cannot
  // be read is an error, as when the document is to be validated; otherwise
  // it is only a warning and the load goes on without it.
  explicit ErrorCollector(bool resourcesRequired = false) : resourcesRequired_(resourcesRequired) {}

  // The first diagnostic that fails the call, if any arrived.
  const std::optional<Diagnostic>& firstError() const { return firstError_; }
  // The instruction that was running when the first error arrived, if any.
  const xmlNode* firstErrorInstruction() const { return firstErrorInstruction_; }
  // How many of messages() had begun when the first error arrived: the two
  // channels interleave, and whichever spoke first names the cause.
  std::size_t messagesBeforeFirstError() const { return messagesBeforeFirstError_; }

  // A resource the backend itself refused to read (a device, the network),
  // counted as the library's own resource failures are; a reference refused
  // for its name (`always`) fails the call whether or not it validates.
  void recordResourceFailure(Diagnostic diagnostic, bool always = false);

  // The generic messages of the call (libxslt's errors, xsl:message texts),
  // one entry per line as they arrived, with the instruction that was running
  // when each arrived and the number of the library's call that began it
  // (the lines of one xsl:message share it). Bounded: past kMaxMessages,
  // each new message replaces the last one kept.
  struct Message {
    std::string text;
    const xmlNode* instruction = nullptr;
    std::size_t call = 0;
  };
  const std::vector<Message>& messages() const { return messages_; }
  // The transformation whose running instruction each message is noted with.
  void watchTransformation(const xsltTransformContext* transformation) { transformation_ = transformation; }

  // The entry points the libraries call; `context` is the collector. They
  // throw nothing back into the C code that calls them.
  static void structuredHandler(void* context, xmlErrorPtr error);
  static void genericHandler(void* context, const char* format, ...);

 private:
  static constexpr std::size_t kMaxMessages = 256;
  static constexpr std::size_t kMaxMessageBytes = 64 * 1024;

  void record(const xmlError& error);
  void append(std::string_view text);

  bool resourcesRequired_;
  std::optional<Diagnostic> firstError_;
  const xmlNode* firstErrorInstruction_ = nullptr;
  std::size_t messagesBeforeFirstError_ = 0;
  std::vector<Message> messages_;
  bool lineOpen_ = false;
  std::size_t calls_ = 0;
  const xsltTransformContext* transformation_ = nullptr;
};

// Why a transformation failed and where, made from the collector by one
// rule: the reason is the first message that names what went wrong, never
// its consequence and never a note.
// - libxslt locates its own errors ("runtime error: file F line N element
//   E", then the message); the first such error is the one reported, at the
//   node libxslt names or the instruction that was running.
// - Its message wins over a structured error that arrived after it (the
//   XPath "Undefined variable" after "Variable 'v' has not been declared.");
//   an XPath error or a refused resource that arrived first wins over
//   libxslt's generic message about it ("Failed to evaluate ...").
// - A stylesheet of the tree that does not parse is reported with the
//   parser's reason, in the file and at the line and column of the error,
//   not as the import that could not load it.
// - An extension's error, raised without a location line while an
//   instruction ran, is placed at that instruction.
// - With nothing located, a terminating xsl:message is the reason, all its
//   lines; an xsl:message that does not terminate and libxslt's debug dump
//   are notes, never the reason: an empty result they came with has none.
//   An error libxslt raised without a location line is one.
struct TransformationError {
  Diagnostic diagnostic;  // the column only from the parser: nodes keep none
  std::string element;    // the instruction's qualified name; empty when unknown
  int occurrence = 0;     // how many of its earlier siblings on its line share that name
};
std::optional<TransformationError> transformationError(const ErrorCollector& collector);

// Records a resource failure into the collector of the innermost
// DiagnosticsCapture alive; nothing when none is. `always` as above.
void reportResourceFailure(Diagnostic diagnostic, bool always = false);

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
  ErrorCollector* savedActive_;
};

}  // namespace tarnweld::xml
