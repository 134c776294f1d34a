#include "text/encoding_sniff.h"

#include "text/ascii.h"

namespace tarnweld {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
// "<?" as the first UTF-16 code units: a UTF-16 document without a mark.
constexpr std::string_view kUtf16LeStart{"<\0?\0", 4};
constexpr std::string_view kUtf16BeStart{"\0<\0?", 4};
constexpr std::string_view kDeclarationStart = "<?xml";
constexpr std::string_view kDeclarationEnd = "?>";
constexpr std::string_view kEncodingName = "encoding";
// A declaration longer than this is not one a parser or an editor looks at.
constexpr std::size_t kMaxDeclarationLength = 1024;

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The value of the declaration's encoding pseudo-attribute, if it opens `bytes`.
std::optional<std::string> declaredEncoding(std::string_view bytes) {
  if (!bytes.starts_with(kDeclarationStart) || bytes.size() <= kDeclarationStart.size() ||
      !isXmlSpace(bytes[kDeclarationStart.size()])) {
    return std::nullopt;
  }
  // Only the start is searched: a large document without a declaration end
  // is not read to its last byte.
  const std::size_t end = bytes.substr(0, kMaxDeclarationLength + kDeclarationEnd.size()).find(kDeclarationEnd);
  if (end == std::string_view::npos || end > kMaxDeclarationLength) return std::nullopt;
  const std::string_view declaration = bytes.substr(0, end);

  std::size_t at = declaration.find(kEncodingName);
  if (at == std::string_view::npos) return std::nullopt;
  at += kEncodingName.size();
  while (at < declaration.size() && isXmlSpace(declaration[at])) ++at;
  if (at >= declaration.size() || declaration[at] != '=') return std::nullopt;
  ++at;
  while (at < declaration.size() && isXmlSpace(declaration[at])) ++at;
  if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return std::nullopt;
  const char quote = declaration[at++];
  const std::size_t close = declaration.find(quote, at);
  if (close == std::string_view::npos) return std::nullopt;
  return std::string(declaration.substr(at, close - at));
}

}  // namespace

SniffedEncoding sniffEncoding(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Mark)) return {std::string(kUtf8Encoding), kUtf8Mark.size(), std::nullopt};
  if (bytes.starts_with(kUtf16LeMark)) return {std::string(kUtf16LeEncoding), kUtf16LeMark.size(), std::nullopt};
  if (bytes.starts_with(kUtf16BeMark)) return {std::string(kUtf16BeEncoding), kUtf16BeMark.size(), std::nullopt};
  if (bytes.starts_with(kUtf16LeStart)) return {std::string(kUtf16LeEncoding), 0, std::nullopt};
  if (bytes.starts_with(kUtf16BeStart)) return {std::string(kUtf16BeEncoding), 0, std::nullopt};
  std::optional<std::string> declared = declaredEncoding(bytes);
  if (!declared) return {std::string(kUtf8Encoding), 0, std::nullopt};
  return {*declared, 0, std::move(declared)};
}

bool namesUtf8(std::string_view name) {
  return equalsIgnoringAsciiCase(name, kUtf8Encoding) || equalsIgnoringAsciiCase(name, std::string_view("UTF8"));
}

}  // namespace tarnweld
