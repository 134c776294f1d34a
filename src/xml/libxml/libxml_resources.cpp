#include "xml/libxml/libxml_resources.h"

#include <fcntl.h>
#include <libxml/SAX2.h>
#include <libxml/catalog.h>
#include <libxml/parserInternals.h>
#include <libxml/uri.h>
#include <libxml/xpathInternals.h>
#include <libxslt/functions.h>
#include <libxslt/xslt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/posix/errno_text.h"
#include "text/ascii.h"
#include "text/host_path.h"
#include "xml/libxml/libxml_diagnostics.h"
#include "xml/libxml/libxml_http.h"
#include "xml/libxml/libxml_owners.h"

namespace tarnweld::xml {
namespace {

constexpr std::size_t kReadChunkBytes = 64 * 1024;

constexpr std::string_view kHttpScheme = "http:";
constexpr std::string_view kHttpsScheme = "https:";
constexpr std::string_view kFileScheme = "file:";
constexpr std::string_view kLocalHostAuthority = "//localhost/";

constexpr std::string_view kNotRegularReason = "it is not a regular file (a device, FIFO or socket)";
constexpr std::string_view kDirectoryReason = "it is a directory";
constexpr std::string_view kEscapedNulReason = "its name holds an escaped NUL character";
constexpr std::string_view kEscapedControlReason = "its name holds an escaped control character";
constexpr std::string_view kTooLargeReasonStart = "it is larger than the limit of ";
constexpr std::string_view kNetworkRefusedReason = "it would be read from the network, which only a stylesheet may be";
constexpr std::string_view kSchemeReason = "its URI scheme is not read";
constexpr std::string_view kShareReason =
    "it is on another machine (a share), and a share is the network; mount it to read it";
constexpr std::string_view kNoCatalogNote = "; no XML catalog on this machine maps it";

// Why a resource over kMaxResourceBytes is refused, with the limit in MiB.
std::string tooLargeReason() {
  return std::string(kTooLargeReasonStart).append(std::to_string(kMaxResourceMiB)).append(" MiB");
}

bool isHttp(std::string_view location) {
  return startsWithIgnoringAsciiCase(location, kHttpScheme) || startsWithIgnoringAsciiCase(location, kHttpsScheme);
}

Failure failure(std::string_view location, std::string_view why, FailureKind kind = FailureKind::kOther) {
  std::string reason;
  reason.append("Cannot read ").append(location).append(": ").append(why);
  return fail(std::move(reason), kind);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `%XX` escapes decoded; a broken escape is kept as it stands. The result may
// hold NUL, which the caller must see rather than have a C string cut at it.
std::string percentDecoded(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
    if (low < 0) {
      decoded.push_back(text[i]);
      continue;
    }
    decoded.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return decoded;
}

// A local file opened without waiting, or why it cannot be read.
// O_NONBLOCK keeps the open of a FIFO or a device from waiting for a peer;
// only a regular file is read at all, so nothing afterwards can block.
Result<Fd> openRegularFile(const std::string& path, std::string_view location) {
  if (path.find('\0') != std::string::npos) return failure(location, kEscapedNulReason, FailureKind::kNotFound);
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd) {
    const int error = errno;
    return failure(location, posix::errnoText(error),
                   error == ENOENT || error == ENOTDIR ? FailureKind::kNotFound : FailureKind::kOther);
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) return failure(location, posix::errnoText(errno));
  if (S_ISDIR(status.st_mode)) return failure(location, kDirectoryReason);
  if (!S_ISREG(status.st_mode)) return failure(location, kNotRegularReason);
  return fd;
}

// The local file a location names: a path as given, or else URI-escaped
// ("%20", as references resolved against an escaped base are); a file: URI
// unescaped. An escape never shortens the name: a NUL in it is refused.
Result<Fd> openLocal(const std::string& location) {
  if (hasUriScheme(location)) {
    if (!startsWithIgnoringAsciiCase(std::string_view(location), kFileScheme)) {
      return failure(location, isHttp(location) ? kNetworkRefusedReason : kSchemeReason);
    }
    std::string_view rest = std::string_view(location).substr(kFileScheme.size());
    if (startsWithIgnoringAsciiCase(rest, kLocalHostAuthority)) {
      rest.remove_prefix(kLocalHostAuthority.size() - 1);
    } else if (rest.starts_with("///")) {
      rest.remove_prefix(2);
    } else if (rest.starts_with("//")) {
      // file://host/...: a file on another machine, which the platform
      // would reach over the network where it can, as Windows does.
      return failure(location, kShareReason);
    }
    return openRegularFile(percentDecoded(rest), location);
  }
  Result<Fd> opened = openRegularFile(location, location);
  if (!opened.notFound() || location.find('%') == std::string::npos) return opened;
  return openRegularFile(percentDecoded(location), location);
}

// Reads an open file for libxml2 as it parses: nothing is held whole.
class FileReader {
 public:
  explicit FileReader(Fd fd) : fd_(std::move(fd)) {}

  static int read(void* context, char* buffer, int length) {
    if (!context || length < 0) return -1;
    ssize_t count = 0;
    do {
      count = ::read(static_cast<FileReader*>(context)->fd_.get(), buffer, static_cast<std::size_t>(length));
    } while (count < 0 && errno == EINTR);
    return count < 0 ? -1 : static_cast<int>(count);
  }
  // For an input libxml2 owns: it hands the reader back here.
  static int close(void* context) {
    delete static_cast<FileReader*>(context);
    return 0;
  }

 private:
  Fd fd_;
};

// libxml2's own inputs (the catalogs it loads) go through the same reader:
// a local regular file, never the network, a FIFO or a device.
int matchAnyInput(const char*) { return 1; }

void* openInput(const char* name) {
  try {
    if (!name || holdsEscapedControl(name)) return nullptr;
    Result<Fd> opened = openLocal(name);
    if (!opened) return nullptr;
    return new FileReader(std::move(*opened));
  } catch (...) {
    return nullptr;
  }
}

// A refused name fails the load or the compilation it is part of (`fails`);
// document() goes on with an empty node-set, as for any resource it cannot read.
bool refusedName(const xmlChar* name, bool fails = true) {
  if (!name || !holdsEscapedControl(reinterpret_cast<const char*>(name))) return false;
  Diagnostic diagnostic;
  diagnostic.message = failure(reinterpret_cast<const char*>(name), kEscapedControlReason).reason;
  diagnostic.domain = XML_FROM_IO;
  reportResourceFailure(std::move(diagnostic), fails);
  return true;
}

// The parser's own handlers, called only for names written without escaped
// control characters: the check sees the name before xmlBuildURI unescapes it.
void checkedEntityDecl(void* ctx, const xmlChar* name, int type, const xmlChar* publicId, const xmlChar* systemId,
                       xmlChar* content) {
  if (refusedName(systemId)) return;
  xmlSAX2EntityDecl(ctx, name, type, publicId, systemId, content);
}

void checkedExternalSubset(void* ctx, const xmlChar* name, const xmlChar* externalId, const xmlChar* systemId) {
  if (refusedName(systemId)) return;
  xmlSAX2ExternalSubset(ctx, name, externalId, systemId);
}

// document() with its names checked as written; the names of a node-set are
// the nodes' string values, as document() itself reads them.
void checkedDocumentFunction(xmlXPathParserContextPtr ctxt, int nargs) {
  if (ctxt && nargs >= 1 && ctxt->valueNr >= nargs) {
    const xmlXPathObjectPtr names = ctxt->valueTab[ctxt->valueNr - nargs];
    bool refused = false;
    if (names && names->type == XPATH_STRING) {
      refused = refusedName(names->stringval, false);
    } else if (names && names->type == XPATH_NODESET && names->nodesetval) {
      for (int i = 0; i < names->nodesetval->nodeNr && !refused; ++i) {
        XmlCharPtr value(xmlXPathCastNodeToString(names->nodesetval->nodeTab[i]));
        refused = refusedName(value.get(), false);
      }
    }
    if (refused) {
      for (int i = 0; i < nargs; ++i) xmlXPathFreeObject(valuePop(ctxt));
      valuePush(ctxt, xmlXPathNewNodeSet(nullptr));
      return;
    }
  }
  xsltDocumentFunction(ctxt, nargs);
}

Result<std::string> readLocalFile(const std::string& location) {
  Result<Fd> opened = openLocal(location);
  if (!opened) return opened.failure();
  FileReader reader(std::move(*opened));
  std::string bytes;
  char chunk[kReadChunkBytes];
  int count = 0;
  while ((count = FileReader::read(&reader, chunk, static_cast<int>(sizeof chunk))) > 0) {
    if (bytes.size() + static_cast<std::size_t>(count) > kMaxResourceBytes) return failure(location, tooLargeReason());
    bytes.append(chunk, static_cast<std::size_t>(count));
  }
  if (count < 0) return failure(location, posix::errnoText(errno));
  return bytes;
}

std::atomic<NetworkTime::Duration::rep> testTreeNetworkTime{0};

// Why a read of the stylesheet tree is refused once its time has run out.
std::string treeTimeReason(const NetworkTime& time) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.total()).count();
  const std::string total =
      ms % 1000 == 0 ? std::to_string(ms / 1000) + " seconds" : std::to_string(ms) + " milliseconds";
  return "the stylesheet and what it imports and includes may take " + total +
         " in all to read over the network, and that time has run out";
}

// Each read gets kNetworkDeadline, or what the tree has left when that is
// less; a read that the tree's time cut short is refused for it.
Result<std::string> readHttp(const std::string& uri, NetworkTime& time) {
  if (time.left() <= NetworkTime::Duration::zero()) return failure(uri, treeTimeReason(time));
  const NetworkTime::Duration allowed = std::min<NetworkTime::Duration>(kNetworkDeadline, time.left());
  const auto start = std::chrono::steady_clock::now();
  Result<std::string> body = httpGet(uri, allowed, kMaxResourceBytes);
  const NetworkTime::Duration spent = std::chrono::steady_clock::now() - start;
  time.spend(spent);
  if (body) return body;
  // libcurl counts its deadline in whole milliseconds.
  if (allowed < kNetworkDeadline && spent + std::chrono::milliseconds(5) >= allowed) {
    return failure(uri, treeTimeReason(time));
  }
  return failure(uri, body.reason(), body.failure().kind);
}

// The time left to the stylesheet tree whose loader is installed.
NetworkTime* loaderNetworkTime = nullptr;

// `fails` as for refusedName: what a stylesheet includes or imports cannot
// be left out, and why it could not be read is the cause of the failure.
void report(const Failure& failed, const std::string& location, bool fails = false) {
  Diagnostic diagnostic;
  diagnostic.message = failed.reason;
  diagnostic.file = location;
  diagnostic.domain = XML_FROM_IO;
  reportResourceFailure(std::move(diagnostic), fails);
}

std::string textOf(const XmlCharPtr& text) { return reinterpret_cast<const char*>(text.get()); }

// What a DTD or an entity names, found through the catalogs (the document's
// own, from an oasis-xml-catalog instruction, first), and read from a local
// file as the parser goes; never from the network.
xmlParserInputPtr loadEntity(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
  try {
    const auto* publicId = reinterpret_cast<const xmlChar*>(id);
    const auto* systemId = reinterpret_cast<const xmlChar*>(url);
    XmlCharPtr mapped;
    if (ctxt && ctxt->catalogs) mapped.reset(xmlCatalogLocalResolve(ctxt->catalogs, publicId, systemId));
    if (!mapped) mapped.reset(xmlCatalogResolve(publicId, systemId));
    if (!mapped && systemId && ctxt && ctxt->catalogs)
      mapped.reset(xmlCatalogLocalResolveURI(ctxt->catalogs, systemId));
    if (!mapped && systemId) mapped.reset(xmlCatalogResolveURI(systemId));
    if (!mapped && !url) return nullptr;
    const std::string location = mapped ? textOf(mapped) : std::string(url);

    Result<Fd> opened = openLocal(location);
    if (!opened) {
      report(mapped ? opened.failure() : noteNoCatalogMaps(opened.failure(), location), location);
      return nullptr;
    }
    auto reader = std::make_unique<FileReader>(std::move(*opened));
    ParserInputBufferPtr buffer(
        xmlParserInputBufferCreateIO(&FileReader::read, &FileReader::close, reader.get(), XML_CHAR_ENCODING_NONE));
    if (!buffer) return nullptr;
    static_cast<void>(reader.release());
    xmlParserInputPtr input = xmlNewIOInputStream(ctxt, buffer.get(), XML_CHAR_ENCODING_NONE);
    if (!input) return nullptr;
    static_cast<void>(buffer.release());
    // The name relative references inside the resource resolve against.
    input->filename = reinterpret_cast<char*>(xmlCanonicPath(reinterpret_cast<const xmlChar*>(location.c_str())));
    return input;
  } catch (...) {
    return nullptr;
  }
}

// Loads what a stylesheet includes or imports, and what document() names,
// like libxslt's own loader but under the backend's rules: a local file is
// parsed as it is read, and only the stylesheet tree may come over HTTP.
xmlDocPtr loadForTransformation(const xmlChar* uri, xmlDictPtr dict, int options, void*, xsltLoadType type) {
  try {
    if (!uri) return nullptr;
    const std::string named = reinterpret_cast<const char*>(uri);
    const std::string location = resolveThroughCatalogs(named);
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt) return nullptr;
    applyReferenceRules(*ctxt);
    // libxslt needs what it loads for a stylesheet to share its dictionary.
    if (dict) {
      if (ctxt->dict) xmlDictFree(ctxt->dict);
      ctxt->dict = dict;
      xmlDictReference(dict);
    }
    const int parseOptions = (options | XML_PARSE_NONET) & ~XML_PARSE_HUGE;
    const bool partOfStylesheet = type != XSLT_LOAD_DOCUMENT;
    DocPtr doc;
    if (isHttp(location) && partOfStylesheet && loaderNetworkTime) {
      Result<std::string> read = readHttp(location, *loaderNetworkTime);
      if (!read) {
        report(location == named ? noteNoCatalogMaps(read.failure(), location) : read.failure(), location,
               partOfStylesheet);
        return nullptr;
      }
      doc.reset(xmlCtxtReadMemory(ctxt.get(), read->data(), static_cast<int>(read->size()), location.c_str(), nullptr,
                                  parseOptions));
    } else {
      Result<Fd> opened = openLocal(location);
      if (!opened) {
        report(location == named ? noteNoCatalogMaps(opened.failure(), location) : opened.failure(), location,
               partOfStylesheet);
        return nullptr;
      }
      FileReader reader(std::move(*opened));
      doc.reset(xmlCtxtReadIO(ctxt.get(), &FileReader::read, nullptr, &reader, baseOf(location).c_str(), nullptr,
                              parseOptions));
    }
    if (!ctxt->wellFormed) return nullptr;
    if (doc && type == XSLT_LOAD_STYLESHEET && !stylesheetReferencesAllowed(*doc)) return nullptr;
    return doc.release();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

std::string resolveThroughCatalogs(const std::string& location) {
  // Catalogs map URIs; a plain path is read where it points, and a run whose
  // stylesheet is a local file never has to read the catalogs at all.
  if (!hasUriScheme(location)) return location;
  const auto* name = reinterpret_cast<const xmlChar*>(location.c_str());
  XmlCharPtr mapped(xmlCatalogResolveURI(name));
  if (!mapped) mapped.reset(xmlCatalogResolve(nullptr, name));
  return mapped ? textOf(mapped) : location;
}

Failure noteNoCatalogMaps(Failure failed, const std::string& location) {
  if (failed.kind == FailureKind::kNotFound || !hasUriScheme(location) ||
      startsWithIgnoringAsciiCase(std::string_view(location), kFileScheme))
    return failed;
  failed.reason.append(kNoCatalogNote);
  return failed;
}

NetworkTime::NetworkTime() : NetworkTime(kStylesheetTreeNetworkTime) {
  if (const auto total = testTreeNetworkTime.load(); total != 0) *this = NetworkTime(Duration(total));
}

void useStylesheetTreeNetworkTimeForTests(NetworkTime::Duration total) { testTreeNetworkTime = total.count(); }

Result<std::string> readResource(const std::string& location, Reach reach, NetworkTime& networkTime) {
  if (isHttp(location) && reach == Reach::kNetwork) return readHttp(location, networkTime);
  return readLocalFile(location);
}

std::string baseOf(const std::string& location) {
  if (hasUriScheme(location)) return location;
  XmlCharPtr uri(xmlPathToURI(reinterpret_cast<const xmlChar*>(location.c_str())));
  return uri ? textOf(uri) : location;
}

bool holdsEscapedControl(std::string_view reference) {
  for (std::size_t at = reference.find('%'); at != std::string_view::npos && at + 2 < reference.size();
       at = reference.find('%', at + 1)) {
    const int high = hexValue(reference[at + 1]);
    const int low = hexValue(reference[at + 2]);
    if (high < 0 || low < 0) continue;
    const int value = high * 16 + low;
    if (value < 0x20 || value == 0x7F) return true;
  }
  return false;
}

void installEntityLoader() {
  xmlSetExternalEntityLoader(&loadEntity);
  xmlCleanupInputCallbacks();
  xmlRegisterInputCallbacks(&matchAnyInput, &openInput, &FileReader::read, &FileReader::close);
}

void applyReferenceRules(xmlParserCtxt& ctxt) {
  if (!ctxt.sax) return;
  ctxt.sax->entityDecl = &checkedEntityDecl;
  ctxt.sax->externalSubset = &checkedExternalSubset;
}

bool stylesheetReferencesAllowed(const xmlDoc& stylesheet) {
  const xmlNode* root = xmlDocGetRootElement(&stylesheet);
  if (!root) return true;
  for (const xmlNode* child = root->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || !child->ns || !xmlStrEqual(child->ns->href, XSLT_NAMESPACE)) continue;
    if (!xmlStrEqual(child->name, BAD_CAST "include") && !xmlStrEqual(child->name, BAD_CAST "import")) continue;
    XmlCharPtr href(xmlGetNsProp(child, BAD_CAST "href", nullptr));
    if (refusedName(href.get())) return false;
  }
  return true;
}

void applyReferenceRules(xsltTransformContext& transformation) {
  static constexpr xmlChar kDocumentFunction[] = "document";
  if (!transformation.xpathCtxt) return;
  // Registering a name that is taken fails; the built-in one goes first.
  xmlXPathRegisterFunc(transformation.xpathCtxt, kDocumentFunction, nullptr);
  xmlXPathRegisterFunc(transformation.xpathCtxt, kDocumentFunction, &checkedDocumentFunction);
}

LoaderGuard::LoaderGuard(NetworkTime& networkTime)
    : saved_(xsltDocDefaultLoader), savedTime_(std::exchange(loaderNetworkTime, &networkTime)) {
  xsltSetLoaderFunc(&loadForTransformation);
}

LoaderGuard::~LoaderGuard() {
  xsltSetLoaderFunc(saved_);
  loaderNetworkTime = savedTime_;
}

}  // namespace tarnweld::xml
