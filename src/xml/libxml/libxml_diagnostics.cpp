#include "xml/libxml/libxml_diagnostics.h"

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxslt/extra.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "xml/libxml/libxml_owners.h"

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
  ++calls_;
  while (!text.empty()) {
    if (!lineOpen_) {
      // Past the bound the newest message takes the last place: a run that
      // notes every item and then stops is reported with why it stopped.
      if (messages_.size() >= kMaxMessages) messages_.pop_back();
      messages_.push_back({{}, transformation_ ? transformation_->inst : nullptr, calls_});
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
  messagesBeforeFirstError_ = messages_.size();
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

using Messages = std::vector<ErrorCollector::Message>;
using MessageAt = Messages::const_iterator;

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

bool isBlank(const ErrorCollector::Message& message) { return trimmed(message.text).empty(); }

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

bool isXsltInstruction(const xmlNode* node, const char* name) {
  return node && IS_XSLT_ELEM(node) && IS_XSLT_NAME(node, name);
}

// What the stylesheet says of itself while it runs, never an error: an
// xsl:message that does not terminate, and libxslt's debug dump.
bool isNote(const xmlNode* node) {
  if (!node) return false;
  if (isXsltInstruction(node, "message")) {
    XmlCharPtr terminate(xmlGetNsProp(node, reinterpret_cast<const xmlChar*>("terminate"), nullptr));
    return !terminate || !xmlStrEqual(terminate.get(), reinterpret_cast<const xmlChar*>("yes"));
  }
  return node->ns && xmlStrEqual(node->ns->href, XSLT_LIBXSLT_NAMESPACE) &&
         xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>("debug"));
}

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

// Step 1: libxslt's first location line ("runtime error: file F line N
// element E"); every error it raises itself starts with one.
MessageAt firstLocationLine(const Messages& messages) {
  return std::find_if(messages.begin(), messages.end(),
                      [](const ErrorCollector::Message& m) { return isLocationLine(m.text); });
}

// Step 2: where the located error stands. libxslt's line names the failing
// node; the instruction that was running gives it when libxslt names none,
// and the column.
TransformationError placeOfLocation(const Messages& messages, MessageAt located) {
  TransformationError error;
  readLocationLine(located->text, error);
  bool atRunning = false;
  if (located->instruction) {
    TransformationError running;
    readInstruction(*located->instruction, running);
    // The running instruction may be the one that called the failing one,
    // on a line of the same number in another stylesheet.
    atRunning = error.diagnostic.line == 0 ||
                (error.diagnostic.line == running.diagnostic.line && error.diagnostic.file == running.diagnostic.file);
    if (atRunning) error = std::move(running);
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
  return error;
}

// Step 3: what libxslt said after its location line; the location line
// itself when nothing followed.
MessageAt locatedMessage(const Messages& messages, MessageAt located) {
  const auto next = std::find_if(located + 1, messages.end(), [](const ErrorCollector::Message& m) {
    return !isLocationLine(m.text) && !isBlank(m);
  });
  return next != messages.end() ? next : located;
}

// Step 4: the structured error that caused the located one, if it did: an
// XPath error or a refused resource that arrived before libxslt's own
// message (libxslt's "Variable 'v' has not been declared." names the cause;
// the XPath "Undefined variable" after it is its consequence; an XPath error
// before libxslt's generic "Failed to evaluate" is the cause of it). One
// that arrived once libxslt had gone on to another place (a second compile
// error) is not its cause.
const Diagnostic* structuredCause(const ErrorCollector& collector, const Messages& messages, MessageAt located,
                                  MessageAt message, const TransformationError& place) {
  const std::optional<Diagnostic>& first = collector.firstError();
  if (!first || first->message.empty() || (first->domain != XML_FROM_XPATH && first->domain != XML_FROM_IO)) {
    return nullptr;
  }
  const std::size_t arrivedBefore = std::min(collector.messagesBeforeFirstError(), messages.size());
  if (message != located && static_cast<std::size_t>(message - messages.begin()) < arrivedBefore) return nullptr;
  const auto afterCause = messages.begin() + static_cast<std::ptrdiff_t>(arrivedBefore);
  if (afterCause > located) {
    const auto following = std::find_if(afterCause, messages.end(),
                                        [](const ErrorCollector::Message& m) { return isLocationLine(m.text); });
    TransformationError there;
    if (following != messages.end()) readLocationLine(following->text, there);
    if (there.diagnostic.line != 0 &&
        (there.diagnostic.line != place.diagnostic.line || there.diagnostic.file != place.diagnostic.file)) {
      return nullptr;
    }
  }
  return &*first;
}

// Step 5: a stylesheet of the tree that did not parse. libxslt says only
// that the importing line could not load it; the parser said why first, in
// the file that holds the error.
const Diagnostic* brokenStylesheet(const ErrorCollector& collector, const Messages& messages, MessageAt located,
                                   const TransformationError& place) {
  const std::optional<Diagnostic>& first = collector.firstError();
  if (!first || first->message.empty() || first->file.empty()) return nullptr;
  if (first->domain == XML_FROM_XPATH || first->domain == XML_FROM_IO) return nullptr;
  if (collector.messagesBeforeFirstError() > static_cast<std::size_t>(located - messages.begin())) return nullptr;
  const std::string_view qualified = place.element;
  const std::string_view element = qualified.substr(qualified.find(':') + 1);
  return element == "import" || element == "include" ? &*first : nullptr;
}

// Step 6: an extension's own error, raised while an instruction ran, arrives
// without a location line before the one of the instruction that failed
// because of it; it is placed at that instruction.
MessageAt extensionError(const ErrorCollector& collector, const Messages& messages, MessageAt located,
                         const Diagnostic* cause) {
  const auto early = std::find_if(messages.begin(), located, [](const ErrorCollector::Message& m) {
    return m.instruction && !isNote(m.instruction) && !isXsltInstruction(m.instruction, "message") && !isBlank(m);
  });
  if (early == located) return messages.end();
  if (cause && static_cast<std::size_t>(early - messages.begin()) >= collector.messagesBeforeFirstError()) {
    return messages.end();
  }
  return early;
}

// Step 7, when libxslt located nothing: the last message that is not a note
// (a terminating xsl:message, or an error raised without a location line),
// with every line of it.
std::optional<TransformationError> lastStatement(const Messages& messages) {
  const auto last = std::find_if(messages.rbegin(), messages.rend(), [](const ErrorCollector::Message& m) {
    return !isBlank(m) && !isNote(m.instruction);
  });
  if (last == messages.rend()) return std::nullopt;
  auto begin = last.base() - 1;
  while (begin != messages.begin() && (begin - 1)->call == last->call) --begin;
  const auto end = last.base();
  TransformationError error;
  if (last->instruction) readInstruction(*last->instruction, error);
  std::string text;
  for (auto line = begin; line != end; ++line) {
    std::string_view piece = line->text;
    while (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    if (!text.empty() || !trimmed(piece).empty()) text.append(text.empty() ? "" : "\r\n").append(piece);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  error.diagnostic.message = trimmed(text);
  return error;
}

// Step 8, when nothing was said at all: an XPath error libxslt says nothing
// more about (a sort key's undefined prefix), placed at the instruction
// evaluating it, or a refused resource.
std::optional<TransformationError> unlocatedCause(const ErrorCollector& collector) {
  const std::optional<Diagnostic>& first = collector.firstError();
  if (!first || first->message.empty() || (first->domain != XML_FROM_XPATH && first->domain != XML_FROM_IO)) {
    return std::nullopt;
  }
  TransformationError error;
  error.diagnostic = *first;
  const xmlNode* instruction = collector.firstErrorInstruction();
  if (first->domain == XML_FROM_XPATH && first->line == 0 && instruction) readInstruction(*instruction, error);
  return error;
}

}  // namespace

std::optional<TransformationError> transformationError(const ErrorCollector& collector) {
  const Messages& messages = collector.messages();
  const MessageAt located = firstLocationLine(messages);
  if (located == messages.end()) {
    if (std::optional<TransformationError> stated = lastStatement(messages)) return stated;
    return unlocatedCause(collector);
  }
  TransformationError error = placeOfLocation(messages, located);
  const MessageAt message = locatedMessage(messages, located);
  if (const Diagnostic* broken = brokenStylesheet(collector, messages, located, error)) {
    error.diagnostic = *broken;
    error.element.clear();
    error.occurrence = 0;
    return error;
  }
  const Diagnostic* cause = structuredCause(collector, messages, located, message, error);
  if (const MessageAt early = extensionError(collector, messages, located, cause); early != messages.end()) {
    readInstruction(*early->instruction, error);
    error.diagnostic.message = trimmed(early->text);
    return error;
  }
  error.diagnostic.message = cause ? cause->message : std::string(trimmed(message->text));
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
