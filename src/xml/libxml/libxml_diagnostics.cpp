#include "xml/libxml/libxml_diagnostics.h"

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace tarnweld::xml {
namespace {

// The collector of the innermost capture alive: the backend's own readers,
// called from inside the libraries, report their refusals to it.
ErrorCollector* activeCollector = nullptr;

}  // namespace

void ErrorCollector::structuredHandler(void* context, xmlErrorPtr error) {
  try {
    if (context && error) static_cast<ErrorCollector*>(context)->record(*error);
  } catch (...) {
    // Out of memory while copying a message: the call still fails by its state.
  }
}

// Generic messages are kept, not printed: whether a call failed is decided by
// the library's state and the structured errors, never by whether text
// arrived here, but a failed transformation is described from them.
// A message longer than the buffer (a long xsl:message) is formatted again
// at its length, up to what one line keeps.
void ErrorCollector::genericHandler(void* context, const char* format, ...) {
  if (!context || !format) return;
  char buffer[1024];
  std::va_list arguments;
  va_start(arguments, format);
  std::va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  try {
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof buffer) {
      static_cast<ErrorCollector*>(context)->append(std::string_view(buffer, static_cast<std::size_t>(length)));
    } else if (length >= 0) {
      std::string longer(std::min(static_cast<std::size_t>(length), kMaxMessageBytes), '\0');
      std::vsnprintf(longer.data(), longer.size() + 1, format, again);
      static_cast<ErrorCollector*>(context)->append(longer);
    }
  } catch (...) {
    // Out of memory: the message is lost, the call's outcome is not.
  }
  va_end(again);
}

void ErrorCollector::append(std::string_view text) {
  while (!text.empty()) {
    if (!lineOpen_) {
      // Past the bound the newest message takes the last place: a run that
      // notes every item and then stops is reported with why it stopped.
      if (messages_.size() >= kMaxMessages) messages_.pop_back();
      messages_.push_back({{}, transformation_ ? transformation_->inst : nullptr});
      lineOpen_ = true;
    }
    const std::size_t lineFeed = text.find('\n');
    std::string& line = messages_.back().text;
    const std::string_view piece = text.substr(0, lineFeed);
    line.append(piece.substr(0, kMaxMessageBytes - std::min(kMaxMessageBytes, line.size())));
    if (lineFeed == std::string_view::npos) return;
    lineOpen_ = false;
    text.remove_prefix(lineFeed + 1);
  }
}

void ErrorCollector::recordResourceFailure(Diagnostic diagnostic, bool always) {
  if (firstError_ || !(resourcesRequired_ || always)) return;
  firstError_ = std::move(diagnostic);
}

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
  diagnostic.domain = error.domain;
  firstError_ = std::move(diagnostic);
  firstErrorInstruction_ = transformation_ ? transformation_->inst : nullptr;
  messagesBeforeFirstError_ = messages_.size();
}

namespace {

constexpr std::string_view kFileMark = ": file ";
constexpr std::string_view kLineMark = " line ";
constexpr std::string_view kElementMark = " element ";

bool isLocationLine(std::string_view text) {
  for (std::string_view start : {"runtime error", "compilation error", "error"}) {
    if (text.starts_with(start)) {
      const std::string_view rest = text.substr(start.size());
      return rest.empty() || rest.starts_with(kFileMark) || rest.starts_with(": element ");
    }
  }
  return false;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

// The place a location line names, for errors raised with no transformation
// running (compilation).
void readLocationLine(std::string_view text, TransformationError& error) {
  const std::size_t element = text.rfind(kElementMark);
  if (element != std::string_view::npos) error.element = text.substr(element + kElementMark.size());
  const std::size_t file = text.find(kFileMark);
  const std::size_t line = element == std::string_view::npos ? element : text.rfind(kLineMark, element);
  if (file == std::string_view::npos || line == std::string_view::npos || line < file) return;
  error.diagnostic.file = text.substr(file + kFileMark.size(), line - file - kFileMark.size());
  const std::string_view digits = text.substr(line + kLineMark.size(), element - line - kLineMark.size());
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9' || number > 100'000'000) return;
    number = number * 10 + (c - '0');
  }
  error.diagnostic.line = number;
}

// The text of an xsl:message is the stylesheet's own, never an error.
bool isMessageInstruction(const xmlNode* node) { return node && IS_XSLT_ELEM(node) && IS_XSLT_NAME(node, "message"); }

void readInstruction(const xmlNode& node, TransformationError& error) {
  error.diagnostic.line = static_cast<int>(xmlGetLineNo(&node));
  error.diagnostic.file = node.doc && node.doc->URL ? reinterpret_cast<const char*>(node.doc->URL) : "";
  error.element.clear();
  if (node.ns && node.ns->prefix) error.element.append(reinterpret_cast<const char*>(node.ns->prefix)).append(":");
  if (node.name) error.element.append(reinterpret_cast<const char*>(node.name));
  error.occurrence = 0;
  for (const xmlNode* before = node.prev; before; before = before->prev) {
    if (before->type == XML_ELEMENT_NODE && before->ns == node.ns && xmlStrEqual(before->name, node.name) &&
        xmlGetLineNo(before) == xmlGetLineNo(&node)) {
      ++error.occurrence;
    }
  }
}

}  // namespace

std::optional<TransformationError> transformationError(const ErrorCollector& collector) {
  const auto& messages = collector.messages();
  // A refused resource or an XPath error is the cause of what libxslt says next.
  const std::optional<Diagnostic>& first = collector.firstError();
  const Diagnostic* cause =
      first && !first->message.empty() && (first->domain == XML_FROM_XPATH || first->domain == XML_FROM_IO) ? &*first
                                                                                                            : nullptr;
  auto located = std::find_if(messages.begin(), messages.end(),
                              [](const ErrorCollector::Message& m) { return isLocationLine(m.text); });
  const ErrorCollector::Message* reason = nullptr;
  TransformationError error;
  if (located != messages.end()) {
    readLocationLine(located->text, error);
    bool atRunning = false;
    if (located->instruction) {
      TransformationError running;
      readInstruction(*located->instruction, running);
      // The running instruction may be the one that called the failing one,
      // on a line of the same number in another stylesheet.
      atRunning = error.diagnostic.line == 0 || (error.diagnostic.line == running.diagnostic.line &&
                                                 error.diagnostic.file == running.diagnostic.file);
      if (atRunning) {
        error.diagnostic.file = std::move(running.diagnostic.file);
        error.diagnostic.line = running.diagnostic.line;
        error.element = std::move(running.element);
        error.occurrence = running.occurrence;
      }
    }
    // A parameter or variable evaluated for the running instruction (a
    // called template's parameter) is named only by a later location line.
    for (auto later = located + 1; atRunning && later != messages.end(); ++later) {
      if (!isLocationLine(later->text)) continue;
      TransformationError evaluated;
      readLocationLine(later->text, evaluated);
      const bool elsewhere =
          evaluated.diagnostic.line != error.diagnostic.line || evaluated.diagnostic.file != error.diagnostic.file;
      if (elsewhere && evaluated.diagnostic.line != 0 &&
          (evaluated.element == "param" || evaluated.element == "variable")) {
        error = std::move(evaluated);
        break;
      }
    }
    // A bare "runtime error" (a template parameter evaluated before any
    // instruction runs) names no place: the next location line does.
    for (auto later = located + 1; error.diagnostic.line == 0 && later != messages.end(); ++later) {
      if (isLocationLine(later->text)) readLocationLine(later->text, error);
    }
    const auto next = std::find_if(located + 1, messages.end(), [](const ErrorCollector::Message& m) {
      return !isLocationLine(m.text) && !trimmed(m.text).empty();
    });
    reason = next != messages.end() ? &*next : &*located;
    // A structured error that arrived after the located one, once libxslt
    // had gone on to another place (a second compile error), is not its cause.
    const auto afterCause = messages.begin() + std::min(collector.messagesBeforeFirstError(), messages.size());
    if (cause && afterCause > located) {
      const auto following = std::find_if(afterCause, messages.end(),
                                          [](const ErrorCollector::Message& m) { return isLocationLine(m.text); });
      TransformationError there;
      if (following != messages.end()) readLocationLine(following->text, there);
      if (there.diagnostic.line != 0 &&
          (there.diagnostic.line != error.diagnostic.line || there.diagnostic.file != error.diagnostic.file)) {
        cause = nullptr;
      }
    }
    // An extension's own error, raised while an instruction ran, arrives
    // without a location line before the one of the instruction that failed
    // because of it.
    const auto early = std::find_if(messages.begin(), located, [](const ErrorCollector::Message& m) {
      return m.instruction && !isMessageInstruction(m.instruction) && !trimmed(m.text).empty();
    });
    if (early != located &&
        (!cause || static_cast<std::size_t>(early - messages.begin()) < collector.messagesBeforeFirstError())) {
      readInstruction(*early->instruction, error);
      error.diagnostic.message = trimmed(early->text);
      return error;
    }
  } else {
    const auto last = std::find_if(messages.rbegin(), messages.rend(),
                                   [](const ErrorCollector::Message& m) { return !trimmed(m.text).empty(); });
    if (last == messages.rend()) {
      if (!cause) return std::nullopt;
      error.diagnostic = *cause;
      // An XPath error libxslt says nothing more about (a sort key's
      // undefined prefix) is placed at the instruction evaluating it.
      const xmlNode* instruction = collector.firstErrorInstruction();
      if (cause->domain == XML_FROM_XPATH && cause->line == 0 && instruction) readInstruction(*instruction, error);
      return error;
    }
    reason = &*last;
    if (reason->instruction) readInstruction(*reason->instruction, error);
  }
  error.diagnostic.message = trimmed(reason->text);
  if (cause) error.diagnostic.message = cause->message;
  return error;
}

void reportResourceFailure(Diagnostic diagnostic, bool always) {
  if (activeCollector) activeCollector->recordResourceFailure(std::move(diagnostic), always);
}

DiagnosticsCapture::DiagnosticsCapture(ErrorCollector& collector)
    : savedStructured_(xmlStructuredError),
      savedStructuredContext_(xmlStructuredErrorContext),
      savedGeneric_(xmlGenericError),
      savedGenericContext_(xmlGenericErrorContext),
      savedXsltGeneric_(xsltGenericError),
      savedXsltGenericContext_(xsltGenericErrorContext),
      savedActive_(activeCollector) {
  xmlSetStructuredErrorFunc(&collector, &ErrorCollector::structuredHandler);
  xmlSetGenericErrorFunc(&collector, &ErrorCollector::genericHandler);
  xsltSetGenericErrorFunc(&collector, &ErrorCollector::genericHandler);
  activeCollector = &collector;
}

DiagnosticsCapture::~DiagnosticsCapture() {
  xmlSetStructuredErrorFunc(savedStructuredContext_, savedStructured_);
  xmlSetGenericErrorFunc(savedGenericContext_, savedGeneric_);
  xsltSetGenericErrorFunc(savedXsltGenericContext_, savedXsltGeneric_);
  activeCollector = savedActive_;
}

}  // namespace tarnweld::xml
