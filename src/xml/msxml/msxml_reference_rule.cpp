#include "xml/msxml/msxml_reference_rule.h"

#include <algorithm>

namespace tarnweld::xml {
namespace {

constexpr std::u16string_view kShareReason =
    u"it is on another machine (a share), and a share is the network; map a drive letter to it to read it";
constexpr std::u16string_view kSchemeReason = u"its URI scheme is not read";
constexpr std::u16string_view kMalformedReason = u"its name holds a control character";
constexpr std::u16string_view kNetworkReason = u"it would be read from the network, which only a stylesheet may be";

// Escapes nested this deep are decoded; a deeper one is refused as malformed.
constexpr int kMaxUnescapeRounds = 4;

int hexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

char16_t foldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c; }

bool equalsFolded(std::u16string_view text, std::u16string_view lower) {
  return text.size() == lower.size() &&
         std::equal(text.begin(), text.end(), lower.begin(), [](char16_t a, char16_t b) { return foldAscii(a) == b; });
}

// One round of %XX decoding; false when there was nothing to decode.
bool unescapeOnce(std::u16string& text) {
  std::u16string out;
  bool changed = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char16_t>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
      changed = true;
    } else {
      out.push_back(text[i]);
    }
  }
  text = std::move(out);
  return changed;
}

// The scheme of `text` folded to lower case, or empty when it has none. One
// letter before the colon is a drive, not a scheme.
std::u16string schemeOf(std::u16string_view text) {
  const std::size_t colon = text.find(u':');
  if (colon == std::u16string_view::npos || colon < 2) return {};
  std::u16string scheme;
  for (std::size_t i = 0; i < colon; ++i) {
    const char16_t c = foldAscii(text[i]);
    const bool letter = c >= u'a' && c <= u'z';
    const bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
    if (!letter && !(i > 0 && other)) return {};
    scheme.push_back(c);
  }
  return scheme;
}

// A drive as a URL's host may spell it: one letter, then ":" or "|".
bool isDrive(std::u16string_view host) {
  const char16_t letter = host.empty() ? 0 : foldAscii(host[0]);
  return host.size() == 2 && letter >= u'a' && letter <= u'z' && (host[1] == u':' || host[1] == u'|');
}

// A path (with "/" for "\") stays on this machine unless it starts with two
// separators: \\host\share, \\?\UNC\, \\.\ devices and every form alike.
bool isLocalPath(std::u16string_view path) { return !path.starts_with(u"//"); }

}  // namespace

ReferenceKind classifyReference(std::u16string_view reference) {
  std::u16string text(reference);
  int rounds = 0;
  while (unescapeOnce(text)) {
    if (++rounds > kMaxUnescapeRounds) return ReferenceKind::kMalformed;
  }
  if (std::ranges::any_of(text, [](char16_t c) { return c < 0x20 || c == 0x7f; })) return ReferenceKind::kMalformed;
  std::ranges::replace(text, u'\\', u'/');

  const std::u16string scheme = schemeOf(text);
  if (scheme.empty()) return isLocalPath(text) ? ReferenceKind::kLocal : ReferenceKind::kShare;
  if (scheme == u"http" || scheme == u"https" || scheme == u"ftp") return ReferenceKind::kNetwork;
  if (scheme != u"file") return ReferenceKind::kOtherScheme;

  const std::u16string_view rest = std::u16string_view(text).substr(scheme.size() + 1);
  if (!rest.starts_with(u"//")) return isLocalPath(rest) ? ReferenceKind::kLocal : ReferenceKind::kShare;
  const std::size_t pathStart = std::min(rest.find(u'/', 2), rest.size());
  const std::u16string_view host = rest.substr(2, pathStart - 2);
  // file://C:\dir\page.xsl (or C|): the old spelling of a drive path.
  if (isDrive(host)) return isLocalPath(rest.substr(2)) ? ReferenceKind::kLocal : ReferenceKind::kShare;
  if (!host.empty() && !equalsFolded(host, u"localhost")) return ReferenceKind::kShare;
  return isLocalPath(rest.substr(pathStart)) ? ReferenceKind::kLocal : ReferenceKind::kShare;
}

std::u16string refusalReason(std::u16string_view reference, ReferenceKind kind) {
  std::u16string_view why = kNetworkReason;
  if (kind == ReferenceKind::kShare) why = kShareReason;
  if (kind == ReferenceKind::kOtherScheme) why = kSchemeReason;
  if (kind == ReferenceKind::kMalformed) why = kMalformedReason;
  std::u16string reason = u"Cannot read ";
  return reason.append(reference).append(u": ").append(why);
}

}  // namespace tarnweld::xml
