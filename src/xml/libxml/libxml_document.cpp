// The parser documents on libxml2 and libxslt.
//
// A document owns at most one tree. Loading parses from memory: the editor's
// text, UTF-8 already, is handed to the parser a read at a time from where it
// lies (no second copy of a large document), a file or URI is read whole first, up to
// kMaxResourceBytes (stylesheets are small, and the record of a failed load
// needs the source line back). A failed transformation leaves its first
// error in the source document's record.
// Transforming compiles a copy of the stylesheet's tree, so the stylesheet
// document keeps its own, and never copies the source tree. The result is
// written once, into the memory file that goes to the host, so the run's
// peak is the two trees.
#include <libexslt/exslt.h>
#include <libxml/SAX2.h>
#include <libxml/catalog.h>
#include <libxml/parser.h>
#include <libxslt/extensions.h>
#include <libxslt/extra.h>
#include <libxslt/functions.h>
#include <libxslt/imports.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#include <sys/mman.h>

#include "platform/posix/sealed_memfd.h"
#include "text/encoding_sniff.h"
#include "text/host_path.h"
#include "text/text.h"
#include "text/utf.h"
#include "xml/libxml/libxml_diagnostics.h"
#include "xml/libxml/libxml_node_pool.h"
#include "xml/libxml/libxml_owners.h"
#include "xml/libxml/libxml_parser.h"
#include "xml/libxml/libxml_reader.h"
#include "xml/libxml/libxml_resources.h"
#include "xml/libxml/libxml_security.h"
#include "xml/libxml/libxml_text.h"

namespace tarnweld::xml {
namespace {

// What every load asks of libxml2, as xsltproc reads its inputs: entities
// substituted, the DTD read for defaulted attributes, CDATA as text. Never
// from the network; never XML_PARSE_HUGE, which would lift the limits on
// entity expansion and nesting depth. Short texts are kept inside their
// nodes (XML_PARSE_COMPACT), a block less for each; the tree reads the same.
constexpr int kParseOptions =
    XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_DTDATTR | XML_PARSE_NOCDATA | XML_PARSE_NONET | XML_PARSE_COMPACT;
// The editor's text is already decoded; its encoding declaration is kept in
// the tree but not applied to the bytes again. Only its own: the option is
// dropped once its declaration is read (startOfText), so an external entity
// or DTD is still decoded as its text declaration says.
constexpr int kInMemoryTextOptions = XML_PARSE_IGNORE_ENC;
constexpr char kInMemoryTextEncoding[] = "UTF-8";

constexpr xmlChar kPlatformXsltNamespace[] = "urn:schemas-microsoft-com:xslt";
constexpr xmlChar kNodeSetFunction[] = "node-set";

constexpr std::string_view kNotFoundReasonStart = "The system cannot locate the resource specified: ";
constexpr std::string_view kUnparsedReason = "The document could not be parsed.";
constexpr std::string_view kUntransformedReason = "The stylesheet could not be applied.";
constexpr std::string_view kEmptyResultReason = "The transformation's result is empty.";
// Names the file of the stylesheet tree that holds the error when it is not
// the stylesheet the report's header names.
constexpr std::string_view kInFileStart = " (in ";
constexpr std::string_view kInFileEnd = ")";

// How a transformation ended that takes the transform report.
enum class Outcome { kStopped, kEmptyResult };

// A snapshot of one load's outcome.
class LoadRecord final : public ParseError {
 public:
  LoadRecord() = default;
  LoadRecord(Text reason, Text srcText, std::int32_t line, std::int32_t linepos)
      : reason_(std::move(reason)), srcText_(std::move(srcText)), line_(line), linepos_(linepos) {}

  std::optional<Text> reason() const override { return reason_; }
  std::optional<Text> srcText() const override { return srcText_; }
  std::optional<std::int32_t> line() const override { return line_; }
  std::optional<std::int32_t> linepos() const override { return linepos_; }

 private:
  Text reason_;
  Text srcText_;
  std::int32_t line_ = 0;
  std::int32_t linepos_ = 0;
};

// A file's or URI's bytes as text, in the encoding they announce.
Text decodeResource(std::string_view bytes) { return decodeBytes(bytes, sniffEncoding(bytes).name); }

// The source line of a diagnostic found in another resource than the text
// being loaded (an external DTD); only local resources are read again.
Text lineOfResource(const std::string& location, int line) {
  NetworkTime none(NetworkTime::Duration::zero());
  const Result<std::string> read = readResource(location, Reach::kLocalOnly, none);
  if (!read) return {};
  return sourceLine(decodeResource(*read), line);
}

// The column (1-based, in UTF-16 units as the host counts) where `element`
// starts in `line`, after `skip` others of its name: nodes keep only their
// line. 0 when it is not found there.
std::int32_t columnOf(TextView line, std::string_view element, int skip) {
  if (element.empty()) return 0;
  Text tag(TXT("<"));
  appendTextFromUtf8(tag, element);
  for (std::size_t at = line.find(tag); at != TextView::npos; at = line.find(tag, at + 1)) {
    const std::size_t end = at + tag.size();
    if (end == line.size() || line[end] == ' ' || line[end] == '\t' || line[end] == '>' || line[end] == '/') {
      if (skip-- == 0) return static_cast<std::int32_t>(utf16Length(line.substr(0, at)) + 1);
    }
  }
  return 0;
}

// libxml2's column, which counts characters, in UTF-16 units as the host
// counts them: a character beyond U+FFFF is two. `line` is the source line
// the column is in.
std::int32_t utf16Column(TextView line, int column) {
  if (column <= 0) return column;
  std::int32_t units = column;
  int characters = 1;
  for (std::size_t at = 0; at < line.size() && characters < column; ++characters) {
    const auto lead = static_cast<unsigned char>(line[at]);
    const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length == 4) ++units;
    at += length;
  }
  return units;
}

// The location of the text being parsed on this thread, if it has one.
thread_local const std::string* textLocation = nullptr;

// The parser reaches the start of the document after its XML declaration.
// A text with a location gets it as the base that the parser resolves the
// references of its DTD against (an unparsed entity's URI, the external
// subset), as a file's own name is; the document's URL and the errors' file
// stay empty, for the text is not the file.
void startOfText(void* ctx) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  ctxt->options &= ~XML_PARSE_IGNORE_ENC;
  if (textLocation && !ctxt->directory) ctxt->directory = xmlMemStrdup(textLocation->c_str());
  xmlSAX2StartDocument(ctx);
}

int parseOptions(bool validate) { return kParseOptions | (validate ? XML_PARSE_DTDVALID : 0); }

// The process-wide preparation of the libraries, made once.
void prepareLibraries() {
  static const bool prepared = [] {
    xmlInitParser();
    // The system catalogs map well-known public identifiers (the XHTML DTDs)
    // to local copies, so that validation works without the network.
    xmlInitializeCatalog();
    installEntityLoader();
    exsltRegisterAll();
    xsltRegisterExtModuleFunction(kNodeSetFunction, kPlatformXsltNamespace, xsltFunctionNodeSet);
    return true;
  }();
  static_cast<void>(prepared);
}

// The encoding libxslt really writes the result in: the one xsl:output names
// when it knows it, UTF-8 otherwise (it then still declares the unknown name).
std::string outputEncoding(xsltStylesheetPtr style) {
  const xmlChar* declared = nullptr;
  XSLT_GET_IMPORT_PTR(declared, style, encoding)
  if (!declared) return "UTF-8";
  EncodingHandlerPtr handler(xmlFindCharEncodingHandler(reinterpret_cast<const char*>(declared)));
  if (!handler) return "UTF-8";
  return handler->name ? handler->name : "UTF-8";
}

// Serializes the result once, into a memory file rather than a growing
// buffer: the file's pages are not the plug-in's own memory, so while both
// trees are alive writing the result adds nothing to the run's peak. The
// result tree goes, then the file is sealed and its text checked where it
// lies: a UTF-8 result stays in that file, which is what goes to the host.
std::optional<Text> resultText(DocPtr result, xsltStylesheet& style, ReleaseFreedMemory releaseFreedMemory) {
  Fd file = posix::makeMemoryFile("tarnweld-result");
  if (!file) return std::nullopt;
  const std::string encoding = outputEncoding(&style);
  // No converter for UTF-8: libxml2 writes its own text as it is.
  EncodingHandlerPtr encoder(encoding == "UTF-8" ? nullptr : xmlFindCharEncodingHandler(encoding.c_str()));
  OutputBufferPtr output(xmlOutputBufferCreateFd(file.get(), encoder.get()));
  if (!output) return std::nullopt;
  static_cast<void>(encoder.release());  // the buffer closes it now
  // A write that fails is only seen in the buffer's error, not in the count.
  if (xsltSaveResultTo(output.get(), result.get(), &style) < 0 || output->error != 0) return std::nullopt;
  if (xmlOutputBufferClose(output.release()) < 0) return std::nullopt;
  result.reset();
  if (releaseFreedMemory) releaseFreedMemory();
  return decodeFile(file.get(), encoding);
}

class LibxmlDocument final : public XmlDocument {
 public:
  LibxmlDocument(TreeRelease treeRelease, ReleaseFreedMemory releaseFreedMemory)
      : treeRelease_(treeRelease), releaseFreedMemory_(releaseFreedMemory) {}
  LibxmlDocument(const LibxmlDocument&) = delete;
  LibxmlDocument& operator=(const LibxmlDocument&) = delete;
  ~LibxmlDocument() override {
    if (treeRelease_ == TreeRelease::LeftToProcessEnd) static_cast<void>(tree_.release());
  }

  bool setValidateOnParse(bool validate) override {
    validate_ = validate;
    return true;
  }
  // Loads always finish before they return, which an asynchronous load may do too.
  bool setAsync(bool) override { return true; }

  // Only an absolute local path places the text: a name in another
  // convention (a drive letter) names nothing here.
  void setTextLocation(TextView fileName) override {
    const std::string mapped = textToUtf8WithoutNul(fromHostPath(fileName));
    location_ = mapped.starts_with('/') ? mapped : std::string();
  }

  std::optional<bool> loadXML(TextView text) override {
    ErrorCollector errors(validate_);
    DiagnosticsCapture capture(errors);
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt) return std::nullopt;
    applyReferenceRules(*ctxt);
    ctxt->sax->startDocument = &startOfText;
    TextReader reader(text);
    // Without a location, a relative DTD reference resolves against the
    // working directory, where the host starts the plug-in.
    textLocation = location_.empty() ? nullptr : &location_;
    const struct Unset {
      ~Unset() { textLocation = nullptr; }
    } unset;
    DocPtr doc(xmlCtxtReadIO(ctxt.get(), &TextReader::read, nullptr, &reader, nullptr, kInMemoryTextEncoding,
                             parseOptions(validate_) | kInMemoryTextOptions));
    return finishLoad(std::move(doc), *ctxt, errors, [&](const Diagnostic& error) {
      return error.file.empty() ? sourceLine(text, error.line) : lineOfResource(error.file, error.line);
    });
  }

  std::optional<bool> load(TextView path) override {
    const Text mapped = fromHostPath(path);
    const std::string named = textToUtf8WithoutNul(mapped);
    ErrorCollector errors(validate_);
    DiagnosticsCapture capture(errors);
    // A stylesheet the catalogs know is read from where they say, offline;
    // only one they do not know may come over the network.
    const std::string location = resolveThroughCatalogs(named);
    // A stylesheet's tree starts here: what it imports and includes spends
    // what its own read leaves.
    networkTime_ = NetworkTime();
    const Result<std::string> read =
        readResource(location, location == named ? Reach::kNetwork : Reach::kLocalOnly, networkTime_);
    if (!read) {
      tree_.reset();
      Text reason;
      if (read.notFound()) {
        reason = textFromAscii(kNotFoundReasonStart);
        reason.append(mapped).append(TXT(" (")).append(kObjectNotFoundCode).append(TXT(")"));
      } else {
        const Failure failed = location == named ? noteNoCatalogMaps(read.failure(), location) : read.failure();
        reason = textFromUtf8(failed.reason);
      }
      record_ = LoadRecord(std::move(reason), {}, 0, 0);
      return false;
    }
    const std::string& bytes = *read;
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt) return std::nullopt;
    applyReferenceRules(*ctxt);
    // The location is the base of relative references: a DTD or an include
    // next to the stylesheet is found there.
    const std::string base = baseOf(location);
    DocPtr doc(xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), base.c_str(), nullptr,
                                 parseOptions(validate_)));
    return finishLoad(std::move(doc), *ctxt, errors, [&](const Diagnostic& error) {
      if (!error.file.empty() && error.file != base) return lineOfResource(error.file, error.line);
      return sourceLine(decodeResource(bytes), error.line);
    });
  }

  std::unique_ptr<ParseError> parseError() const override { return std::make_unique<LoadRecord>(record_); }

  std::optional<Text> transformNode(XmlDocument& stylesheetDocument) override {
    auto* stylesheet = dynamic_cast<LibxmlDocument*>(&stylesheetDocument);
    if (!stylesheet || !tree_ || !stylesheet->tree_) return std::nullopt;
    ErrorCollector errors;
    DiagnosticsCapture capture(errors);
    LoaderGuard loader(stylesheet->networkTime_);
    // A failed transformation leaves its first error in this document's record.
    const auto fail = [&]() -> std::optional<Text> {
      recordTransformationError(errors, Outcome::kStopped, *stylesheet);
      errors.watchTransformation(nullptr);
      return std::nullopt;
    };

    // libxslt takes the tree it compiles (on success only); the stylesheet
    // document keeps its own. The copy keeps the location, so includes resolve.
    DocPtr copy(xmlCopyDoc(stylesheet->tree_.get(), 1));
    if (!copy) return std::nullopt;
    if (!stylesheetReferencesAllowed(*copy)) return fail();
    StylesheetPtr style(xsltParseStylesheetDoc(copy.get()));
    if (!style) return fail();
    static_cast<void>(copy.release());
    // A stylesheet compiled with errors (an attribute set that uses itself,
    // an undefined prefix) is refused as one that does not compile at all.
    if (style->errors > 0) return fail();

    SecurityPrefsPtr prefs = makeSecurityPrefs();
    TransformCtxtPtr ctxt(xsltNewTransformContext(style.get(), tree_.get()));
    if (!prefs || !ctxt || xsltSetCtxtSecurityPrefs(prefs.get(), ctxt.get()) != 0) return std::nullopt;
    xsltSetTransformErrorFunc(ctxt.get(), &errors, &ErrorCollector::genericHandler);
    xsltSetCtxtParseOptions(ctxt.get(), kParseOptions);
    applyReferenceRules(*ctxt);
    errors.watchTransformation(ctxt.get());

    DocPtr result(xsltApplyStylesheetUser(style.get(), tree_.get(), nullptr, nullptr, nullptr, ctxt.get()));
    // Whether it worked is the context's state: messages arrive on success too.
    if (!result || ctxt->state != XSLT_STATE_OK) return fail();
    errors.watchTransformation(nullptr);
    ctxt.reset();

    std::optional<Text> text = resultText(std::move(result), *style, releaseFreedMemory_);
    // An empty result takes the transform report: it says what went wrong on
    // the way, or that the result is empty.
    if (text && text->empty()) recordTransformationError(errors, Outcome::kEmptyResult, *stylesheet);
    return text;
  }

 private:
  // Settles a parse: keeps the tree, or drops it and records the first error.
  template <typename LineOf>
  std::optional<bool> finishLoad(DocPtr doc, const xmlParserCtxt& ctxt, const ErrorCollector& errors, LineOf lineOf) {
    const std::optional<Diagnostic>& error = errors.firstError();
    if (doc && ctxt.wellFormed && !error) {
      tree_ = std::move(doc);
      record_ = LoadRecord();
      return true;
    }
    tree_.reset();
    if (!error) {
      record_ = LoadRecord(textFromAscii(kUnparsedReason), {}, 0, 0);
      return false;
    }
    Text reason = textFromUtf8(error->message);
    Text line = lineOf(*error);
    const std::int32_t column = utf16Column(line, error->column);
    record_ = LoadRecord(std::move(reason), std::move(line), error->line, column);
    return false;
  }

  // The record of a failed transformation: its reason, and the line of the
  // stylesheet where it arose, read back from the file that holds it, which
  // the reason names when it is not `stylesheet`'s own.
  void recordTransformationError(const ErrorCollector& errors, Outcome outcome, const LibxmlDocument& stylesheet) {
    const std::optional<TransformationError> error = transformationError(errors);
    if (!error) {
      record_ = LoadRecord(textFromAscii(outcome == Outcome::kEmptyResult ? kEmptyResultReason : kUntransformedReason),
                           {}, 0, 0);
      return;
    }
    const Diagnostic& where = error->diagnostic;
    Text line = where.file.empty() ? Text() : lineOfResource(where.file, where.line);
    Text reason = textFromUtf8(where.message);
    const xmlDoc* own = stylesheet.tree_.get();
    if (!where.file.empty() && !(own && own->URL && where.file == reinterpret_cast<const char*>(own->URL))) {
      reason.append(textFromAscii(kInFileStart)).append(textFromUtf8(where.file)).append(textFromAscii(kInFileEnd));
    }
    const std::int32_t column =
        where.column > 0 ? utf16Column(line, where.column) : columnOf(line, error->element, error->occurrence);
    record_ = LoadRecord(std::move(reason), std::move(line), where.line, column);
  }

  const TreeRelease treeRelease_;
  const ReleaseFreedMemory releaseFreedMemory_;
  DocPtr tree_;
  bool validate_ = true;
  std::string location_;
  LoadRecord record_;
  // The time left to the network reads of the stylesheet tree this document
  // heads, when it is a stylesheet loaded from a location.
  NetworkTime networkTime_;
};

class LibxmlParser final : public XmlParser {
 public:
  LibxmlParser(TreeRelease treeRelease, NodeBlocks nodeBlocks, ReleaseFreedMemory releaseFreedMemory)
      : treeRelease_(treeRelease), nodeBlocks_(nodeBlocks), releaseFreedMemory_(releaseFreedMemory) {}

  // The libraries are prepared on the first document, so a start that makes
  // none (registration, no host, an empty document) does not pay for it.
  std::unique_ptr<XmlDocument> createDocument() override {
    if (nodeBlocks_ == NodeBlocks::Pooled) installNodePool();
    prepareLibraries();
    return std::make_unique<LibxmlDocument>(treeRelease_, releaseFreedMemory_);
  }

 private:
  TreeRelease treeRelease_;
  NodeBlocks nodeBlocks_;
  ReleaseFreedMemory releaseFreedMemory_;
};

}  // namespace

std::unique_ptr<XmlParser> makeLibxmlParser(TreeRelease treeRelease, NodeBlocks nodeBlocks,
                                            ReleaseFreedMemory releaseFreedMemory) {
  return std::make_unique<LibxmlParser>(treeRelease, nodeBlocks, releaseFreedMemory);
}

}  // namespace tarnweld::xml
