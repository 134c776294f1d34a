#include "xml/msxml/msxml_builtin_dtds.h"

#include <string>

#include "xml/msxml/xhtml_dtds.h"

namespace tarnweld::xml {
namespace {

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// `url` with its scheme and host in lower case and https read as http; the
// path keeps its case, as the server's would.
std::u16string normalized(std::u16string_view url) {
  std::u16string text(url);
  const std::size_t schemeEnd = text.find(u"://");
  if (schemeEnd == std::u16string::npos) return text;
  const std::size_t hostEnd = text.find(u'/', schemeEnd + 3);
  for (std::size_t i = 0; i < std::min(hostEnd, text.size()); ++i) text[i] = lower(text[i]);
  if (text.starts_with(u"https://")) text.erase(4, 1);
  return text;
}

}  // namespace

std::optional<std::string_view> builtInDtd(std::u16string_view url) {
  const std::u16string key = normalized(url);
  for (const BuiltInDtd& dtd : kBuiltInDtds) {
    if (dtd.systemId == key) return dtd.text;
  }
  return std::nullopt;
}

}  // namespace tarnweld::xml
