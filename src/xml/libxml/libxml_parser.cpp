// The parser documents on libxml2 and libxslt.
//
// A document owns at most one tree. Loading parses from memory: the editor's
// text is encoded to UTF-8 piecewise while the parser reads it (no second
// copy of a large document), a file or URI is read whole first (stylesheets
// are small, and the record of a failed load needs the source line back).
// Transforming compiles a copy of the stylesheet's tree, so the stylesheet
// document keeps its own, and never copies the source tree.
#include "xml/libxml/libxml_parser.h"

#include <libexslt/exslt.h>
#include <libxml/catalog.h>
#include <libxml/nanohttp.h>
#include <libxml/parser.h>
#include <libxml/uri.h>
#include <libxml/xmlIO.h>
#include <libxslt/documents.h>
#include <libxslt/extensions.h>
#include <libxslt/extra.h>
#include <libxslt/functions.h>
#include <libxslt/imports.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "text/host_path.h"
#include "text/utf.h"
#include "xml/libxml/libxml_diagnostics.h"

namespace tarnweld::xml {
namespace {

// What every load asks of libxml2, as xsltproc reads its inputs: entities
// substituted, the DTD read for defaulted attributes, CDATA as text. Never
// from the network; never XML_PARSE_HUGE, which would lift the limits on
// entity expansion and nesting depth.
constexpr int kParseOptions =
    XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_DTDATTR | XML_PARSE_NOCDATA | XML_PARSE_NONET;
// The editor's text is already decoded; its encoding declaration is kept in
// the tree but not applied to the bytes again.
constexpr int kInMemoryTextOptions = XML_PARSE_IGNORE_ENC;
constexpr char kInMemoryTextEncoding[] = "UTF-8";

// The editor's text is encoded this many UTF-16 units at a time.
constexpr std::size_t kTextChunkUnits = 64 * 1024;
constexpr std::size_t kReadChunkBytes = 64 * 1024;
constexpr char16_t kByteOrderMark = 0xFEFF;

constexpr std::string_view kHttpScheme = "http:";
constexpr std::string_view kFileScheme = "file:";
constexpr int kHttpOkFirst = 200;
constexpr int kHttpOkLast = 299;

constexpr xmlChar kPlatformXsltNamespace[] = "urn:schemas-microsoft-com:xslt";
constexpr xmlChar kNodeSetFunction[] = "node-set";

constexpr std::string_view kNotFoundReasonStart = "The system cannot locate the resource specified: ";
constexpr std::string_view kUnparsedReason = "The document could not be parsed.";

// Owning pointers that hand each library object back to its own free function.
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
// xmlFree is a hook variable, not a function, so it is called through one.
void freeXmlText(xmlChar* text) { xmlFree(text); }
using XmlCharPtr = std::unique_ptr<xmlChar, FreeWith<freeXmlText>>;

// A snapshot of one load's outcome.
class LoadRecord final : public ParseError {
 public:
  LoadRecord() = default;
  LoadRecord(std::u16string reason, std::u16string srcText, std::int32_t line, std::int32_t linepos)
      : reason_(std::move(reason)), srcText_(std::move(srcText)), line_(line), linepos_(linepos) {}

  std::optional<std::u16string> reason() const override { return reason_; }
  std::optional<std::u16string> srcText() const override { return srcText_; }
  std::optional<std::int32_t> line() const override { return line_; }
  std::optional<std::int32_t> linepos() const override { return linepos_; }

 private:
  std::u16string reason_;
  std::u16string srcText_;
  std::int32_t line_ = 0;
  std::int32_t linepos_ = 0;
};

// Feeds the editor's UTF-16 text to the parser as UTF-8, one chunk at a time.
class Utf16Reader {
 public:
  // A byte-order mark at the start of the editor's text is not part of the
  // document; as UTF-8 it would stand before the XML declaration.
  explicit Utf16Reader(std::u16string_view text) : rest_(text) {
    if (!rest_.empty() && rest_.front() == kByteOrderMark) rest_.remove_prefix(1);
  }

  static int read(void* context, char* buffer, int length) {
    return static_cast<Utf16Reader*>(context)->readInto(buffer, length);
  }

 private:
  int readInto(char* buffer, int length) {
    if (length <= 0) return 0;
    if (offset_ == pending_.size()) {
      if (rest_.empty()) return 0;
      std::size_t take = std::min(rest_.size(), kTextChunkUnits);
      // A surrogate pair is encoded together, never split across chunks.
      if (take < rest_.size() && take > 1 && rest_[take - 1] >= 0xD800 && rest_[take - 1] <= 0xDBFF) --take;
      pending_ = toUtf8(rest_.substr(0, take));
      rest_.remove_prefix(take);
      offset_ = 0;
    }
    const std::size_t count = std::min(static_cast<std::size_t>(length), pending_.size() - offset_);
    std::memcpy(buffer, pending_.data() + offset_, count);
    offset_ += count;
    return static_cast<int>(count);
  }

  std::u16string_view rest_;
  std::string pending_;
  std::size_t offset_ = 0;
};

std::optional<std::string> readRegularFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return std::nullopt;
  return bytes;
}

// A path as given, or else URI-escaped ("%20"): locations of resources that a
// document names are resolved against the document's escaped location.
std::optional<std::string> readLocalFile(const std::string& path) {
  if (std::optional<std::string> bytes = readRegularFile(path)) return bytes;
  if (path.find('%') == std::string::npos) return std::nullopt;
  XmlCharPtr unescaped(reinterpret_cast<xmlChar*>(xmlURIUnescapeString(path.c_str(), 0, nullptr)));
  if (!unescaped) return std::nullopt;
  return readRegularFile(reinterpret_cast<const char*>(unescaped.get()));
}

// The location given to the parser as the document's base: a path is escaped
// as a URI, or libxml2 cannot resolve references against a path with spaces.
std::string baseOf(const std::string& location) {
  if (hasUriScheme(location)) return location;
  XmlCharPtr uri(xmlPathToURI(reinterpret_cast<const xmlChar*>(location.c_str())));
  return uri ? std::string(reinterpret_cast<const char*>(uri.get())) : location;
}

// HTTP goes through libxml2's client directly so that an error status is a
// missing resource rather than an error page parsed as the document.
std::optional<std::string> readHttp(const std::string& uri) {
  void* session = xmlNanoHTTPOpen(uri.c_str(), nullptr);
  if (!session) return std::nullopt;
  std::optional<std::string> bytes;
  const int status = xmlNanoHTTPReturnCode(session);
  if (status >= kHttpOkFirst && status <= kHttpOkLast) {
    std::string body;
    char chunk[kReadChunkBytes];
    int count = 0;
    while ((count = xmlNanoHTTPRead(session, chunk, sizeof chunk)) > 0) body.append(chunk, count);
    if (count == 0) bytes = std::move(body);
  }
  xmlNanoHTTPClose(session);
  return bytes;
}

// Any other URI is opened through libxml2's input handlers, as it would open it.
std::optional<std::string> readUri(const std::string& uri) {
  xmlParserInputBufferPtr input = xmlParserInputBufferCreateFilename(uri.c_str(), XML_CHAR_ENCODING_NONE);
  if (!input) return std::nullopt;
  std::optional<std::string> bytes;
  if (input->readcallback) {
    std::string body;
    char chunk[kReadChunkBytes];
    int count = 0;
    while ((count = input->readcallback(input->context, chunk, sizeof chunk)) > 0) body.append(chunk, count);
    if (count == 0) bytes = std::move(body);
  }
  xmlFreeParserInputBuffer(input);
  return bytes;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && std::equal(start.begin(), start.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

// The bytes of a file or of the resource a URI names, or nothing when they
// cannot be had. `allowNetwork` is false when only local resources may be read.
std::optional<std::string> readResource(const std::string& location, bool allowNetwork) {
  if (!hasUriScheme(location)) return readLocalFile(location);
  if (startsWithIgnoringCase(location, kHttpScheme)) {
    return allowNetwork ? readHttp(location) : std::nullopt;
  }
  if (!allowNetwork && !startsWithIgnoringCase(location, kFileScheme)) return std::nullopt;
  return readUri(location);
}

// The source line of a diagnostic found in another resource than the text
// being loaded (an external DTD); only local resources are read again.
std::u16string lineOfResource(const std::string& location, int line) {
  const std::optional<std::string> bytes = readResource(location, false);
  if (!bytes) return {};
  return sourceLine(decodeBytes(*bytes, sniffEncoding(*bytes)), line);
}

int parseOptions(bool validate) { return kParseOptions | (validate ? XML_PARSE_DTDVALID : 0); }

// The process-wide preparation of the libraries, made once.
void prepareLibraries() {
  static const bool prepared = [] {
    xmlInitParser();
    // The system catalogs map well-known public identifiers (the XHTML DTDs)
    // to local copies, so that validation works without the network.
    xmlInitializeCatalog();
    exsltRegisterAll();
    xsltRegisterExtModuleFunction(kNodeSetFunction, kPlatformXsltNamespace, xsltFunctionNodeSet);
    return true;
  }();
  static_cast<void>(prepared);
}

// Loads what a stylesheet includes or imports, and what document() names,
// like libxslt's own loader but under the same rules as our loads: a URI is
// fetched as one, while DTDs and entities it names never come from the network.
xmlDocPtr loadForTransformation(const xmlChar* uri, xmlDictPtr dict, int options, void*, xsltLoadType) {
  if (!uri) return nullptr;
  const std::string location(reinterpret_cast<const char*>(uri));
  std::optional<std::string> bytes = readResource(location, true);
  if (!bytes || bytes->size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
  ParserCtxtPtr ctxt(xmlNewParserCtxt());
  if (!ctxt) return nullptr;
  // libxslt needs what it loads for a stylesheet to share its dictionary.
  if (dict) {
    if (ctxt->dict) xmlDictFree(ctxt->dict);
    ctxt->dict = dict;
    xmlDictReference(dict);
  }
  DocPtr doc(xmlCtxtReadMemory(ctxt.get(), bytes->data(), static_cast<int>(bytes->size()), location.c_str(), nullptr,
                               (options | XML_PARSE_NONET) & ~XML_PARSE_HUGE));
  if (!ctxt->wellFormed) return nullptr;
  return doc.release();
}

// Installs loadForTransformation for the lifetime of a transformation.
class LoaderGuard {
 public:
  LoaderGuard() : saved_(xsltDocDefaultLoader) { xsltSetLoaderFunc(&loadForTransformation); }
  ~LoaderGuard() { xsltSetLoaderFunc(saved_); }
  LoaderGuard(const LoaderGuard&) = delete;
  LoaderGuard& operator=(const LoaderGuard&) = delete;

 private:
  xsltDocLoaderFunc saved_;
};

// A transformation may read other documents, but writes no file, creates no
// directory and sends nothing over the network, whatever extension it calls.
SecurityPrefsPtr makeSecurityPrefs() {
  SecurityPrefsPtr prefs(xsltNewSecurityPrefs());
  if (!prefs) return nullptr;
  for (xsltSecurityOption option :
       {XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY, XSLT_SECPREF_WRITE_NETWORK}) {
    if (xsltSetSecurityPrefs(prefs.get(), option, xsltSecurityForbid) != 0) return nullptr;
  }
  return prefs;
}

// The encoding libxslt really writes the result in: the one xsl:output names
// when it knows it, UTF-8 otherwise (it then still declares the unknown name).
std::string outputEncoding(xsltStylesheetPtr style) {
  const xmlChar* declared = nullptr;
  XSLT_GET_IMPORT_PTR(declared, style, encoding)
  if (!declared) return "UTF-8";
  xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(reinterpret_cast<const char*>(declared));
  if (!handler) return "UTF-8";
  std::string name = handler->name ? handler->name : "UTF-8";
  xmlCharEncCloseFunc(handler);
  return name;
}

class LibxmlDocument final : public XmlDocument {
 public:
  bool setValidateOnParse(bool validate) override {
    validate_ = validate;
    return true;
  }
  // Loads always finish before they return, which an asynchronous load may do too.
  bool setAsync(bool) override { return true; }

  std::optional<bool> loadXML(std::u16string_view text) override {
    ErrorCollector errors(validate_);
    DiagnosticsCapture capture(errors);
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt) return std::nullopt;
    Utf16Reader reader(text);
    // A relative DTD reference resolves against the working directory, where
    // the host starts the plug-in: the document is given without a location.
    DocPtr doc(xmlCtxtReadIO(ctxt.get(), &Utf16Reader::read, nullptr, &reader, nullptr, kInMemoryTextEncoding,
                             parseOptions(validate_) | kInMemoryTextOptions));
    return finishLoad(std::move(doc), *ctxt, errors, [&](const Diagnostic& error) {
      return error.file.empty() ? sourceLine(text, error.line) : lineOfResource(error.file, error.line);
    });
  }

  std::optional<bool> load(std::u16string_view path) override {
    const std::u16string mapped = fromHostPath(path);
    const std::string location = toUtf8WithoutNul(mapped);
    ErrorCollector errors(validate_);
    DiagnosticsCapture capture(errors);
    std::optional<std::string> bytes = readResource(location, true);
    if (!bytes || bytes->size() > static_cast<std::size_t>(INT_MAX)) {
      tree_.reset();
      std::u16string reason = fromAscii(kNotFoundReasonStart);
      reason.append(mapped).append(u" (").append(kObjectNotFoundCode).append(u")");
      record_ = LoadRecord(std::move(reason), {}, 0, 0);
      return false;
    }
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt) return std::nullopt;
    // The location is the base of relative references: a DTD or an include
    // next to the stylesheet is found there.
    const std::string base = baseOf(location);
    DocPtr doc(xmlCtxtReadMemory(ctxt.get(), bytes->data(), static_cast<int>(bytes->size()), base.c_str(), nullptr,
                                 parseOptions(validate_)));
    return finishLoad(std::move(doc), *ctxt, errors, [&](const Diagnostic& error) {
      if (!error.file.empty() && error.file != base) return lineOfResource(error.file, error.line);
      return sourceLine(decodeBytes(*bytes, sniffEncoding(*bytes)), error.line);
    });
  }

  std::unique_ptr<ParseError> parseError() const override { return std::make_unique<LoadRecord>(record_); }

  std::optional<std::u16string> transformNode(XmlDocument& stylesheetDocument) override {
    auto* stylesheet = dynamic_cast<LibxmlDocument*>(&stylesheetDocument);
    if (!stylesheet || !tree_ || !stylesheet->tree_) return std::nullopt;
    ErrorCollector errors;
    DiagnosticsCapture capture(errors);
    LoaderGuard loader;

    // libxslt takes the tree it compiles (on success only); the stylesheet
    // document keeps its own. The copy keeps the location, so includes resolve.
    DocPtr copy(xmlCopyDoc(stylesheet->tree_.get(), 1));
    if (!copy) return std::nullopt;
    StylesheetPtr style(xsltParseStylesheetDoc(copy.get()));
    if (!style) return std::nullopt;
    static_cast<void>(copy.release());

    SecurityPrefsPtr prefs = makeSecurityPrefs();
    TransformCtxtPtr ctxt(xsltNewTransformContext(style.get(), tree_.get()));
    if (!prefs || !ctxt || xsltSetCtxtSecurityPrefs(prefs.get(), ctxt.get()) != 0) return std::nullopt;
    xsltSetTransformErrorFunc(ctxt.get(), &errors, &ErrorCollector::genericHandler);
    xsltSetCtxtParseOptions(ctxt.get(), kParseOptions);

    DocPtr result(xsltApplyStylesheetUser(style.get(), tree_.get(), nullptr, nullptr, nullptr, ctxt.get()));
    // Whether it worked is the context's state: messages arrive on success too.
    if (!result || ctxt->state != XSLT_STATE_OK) return std::nullopt;
    ctxt.reset();

    xmlChar* output = nullptr;
    int length = 0;
    const int saved = xsltSaveResultToString(&output, &length, result.get(), style.get());
    XmlCharPtr outputOwner(output);
    result.reset();
    if (saved != 0 || length < 0) return std::nullopt;
    if (!output) return std::u16string();
    const std::string_view bytes(reinterpret_cast<const char*>(output), static_cast<std::size_t>(length));
    return decodeBytes(bytes, outputEncoding(style.get()));
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
      record_ = LoadRecord(fromAscii(kUnparsedReason), {}, 0, 0);
      return false;
    }
    std::u16string reason = fromUtf8Lenient(error->message);
    record_ = LoadRecord(std::move(reason), lineOf(*error), error->line, error->column);
    return false;
  }

  DocPtr tree_;
  bool validate_ = true;
  LoadRecord record_;
};

class LibxmlParser final : public XmlParser {
 public:
  // The libraries are prepared on the first document, so a start that makes
  // none (registration, no host, an empty document) does not pay for it.
  std::unique_ptr<XmlDocument> createDocument() override {
    prepareLibraries();
    return std::make_unique<LibxmlDocument>();
  }
};

}  // namespace

std::unique_ptr<XmlParser> makeLibxmlParser() { return std::make_unique<LibxmlParser>(); }

}  // namespace tarnweld::xml
