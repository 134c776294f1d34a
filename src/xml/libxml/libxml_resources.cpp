#include "xml/libxml/libxml_resources.h"

#include <libxml/parser.h>
#include <libxml/uri.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

#include "text/ascii.h"
#include "text/host_path.h"
#include "xml/libxml/libxml_owners.h"

namespace tarnweld::xml {
namespace {

constexpr std::size_t kReadChunkBytes = 64 * 1024;

constexpr std::string_view kHttpScheme = "http:";
constexpr std::string_view kFileScheme = "file:";
constexpr int kHttpOkFirst = 200;
constexpr int kHttpOkLast = 299;

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

// Everything `readChunk` gives until it reports the end (0); nothing when it
// reports a failure (a negative count) first.
template <typename ReadChunk>
std::optional<std::string> readToEnd(ReadChunk readChunk) {
  std::string body;
  char chunk[kReadChunkBytes];
  int count = 0;
  while ((count = readChunk(chunk, static_cast<int>(sizeof chunk))) > 0) body.append(chunk, count);
  if (count != 0) return std::nullopt;
  return body;
}

// HTTP goes through libxml2's client directly so that an error status is a
// missing resource rather than an error page parsed as the document.
std::optional<std::string> readHttp(const std::string& uri) {
  HttpSessionPtr session(xmlNanoHTTPOpen(uri.c_str(), nullptr));
  if (!session) return std::nullopt;
  const int status = xmlNanoHTTPReturnCode(session.get());
  if (status < kHttpOkFirst || status > kHttpOkLast) return std::nullopt;
  return readToEnd([&](char* chunk, int size) { return xmlNanoHTTPRead(session.get(), chunk, size); });
}

// Any other URI is opened through libxml2's input handlers, as it would open it.
std::optional<std::string> readUri(const std::string& uri) {
  ParserInputBufferPtr input(xmlParserInputBufferCreateFilename(uri.c_str(), XML_CHAR_ENCODING_NONE));
  if (!input || !input->readcallback) return std::nullopt;
  return readToEnd([&](char* chunk, int size) { return input->readcallback(input->context, chunk, size); });
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

}  // namespace

std::optional<std::string> readResource(const std::string& location, bool allowNetwork) {
  if (!hasUriScheme(location)) return readLocalFile(location);
  if (startsWithIgnoringAsciiCase(std::string_view(location), kHttpScheme)) {
    return allowNetwork ? readHttp(location) : std::nullopt;
  }
  if (!allowNetwork && !startsWithIgnoringAsciiCase(std::string_view(location), kFileScheme)) return std::nullopt;
  return readUri(location);
}

std::string baseOf(const std::string& location) {
  if (hasUriScheme(location)) return location;
  XmlCharPtr uri(xmlPathToURI(reinterpret_cast<const xmlChar*>(location.c_str())));
  return uri ? std::string(reinterpret_cast<const char*>(uri.get())) : location;
}

LoaderGuard::LoaderGuard() : saved_(xsltDocDefaultLoader) { xsltSetLoaderFunc(&loadForTransformation); }

LoaderGuard::~LoaderGuard() { xsltSetLoaderFunc(saved_); }

}  // namespace tarnweld::xml
