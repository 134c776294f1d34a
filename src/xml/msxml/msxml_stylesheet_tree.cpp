#include "xml/msxml/msxml_stylesheet_tree.h"

#include <urlmon.h>

#include <algorithm>

#include "platform/windows/com.h"
#include "xml/msxml/msxml_guids.h"
#include "xml/msxml/msxml_properties.h"
#include "xml/msxml/msxml_reference_rule.h"
#include "xml/msxml/msxml_url_guard.h"

namespace tarnweld::xml {
namespace {

using win::Bstr;
using win::ComPtr;
using win::Variant;

// A tree larger than this is not walked further; what lies beyond is read
// by the compilation under the guard, the network closed to it.
constexpr std::size_t kMaxMembers = 256;

// The longest URL the URL functions make (wininet's INTERNET_MAX_URL_LENGTH).
constexpr DWORD kMaxUrlLength = 2048 + 32 + 4;

constexpr std::u16string_view kHrefsXPath = u"//xsl:import/@href | //xsl:include/@href";
constexpr std::u16string_view kXslNamespaces = u"xmlns:xsl='http://www.w3.org/1999/XSL/Transform'";

HRESULT setTextProperty(IXMLDOMDocument2& doc, std::u16string_view name, std::u16string_view value) {
  const Bstr property(name);
  Variant text = Variant::string(value);
  return doc.setProperty(property.get(), *text.get());
}

// The nodes `xpath` selects in `doc`, each as its name and text.
std::vector<std::pair<std::u16string, std::u16string>> select(IXMLDOMDocument2& doc, std::u16string_view xpath) {
  std::vector<std::pair<std::u16string, std::u16string>> found;
  if (FAILED(setTextProperty(doc, u"SelectionLanguage", u"XPath")) ||
      FAILED(setTextProperty(doc, u"SelectionNamespaces", kXslNamespaces)))
    return found;
  const Bstr query(xpath);
  ComPtr<IXMLDOMNodeList> nodes;
  long count = 0;
  if (FAILED(doc.selectNodes(query.get(), nodes.put())) || !nodes || FAILED(nodes->get_length(&count))) return found;
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> node;
    Bstr name, text;
    if (FAILED(nodes->get_item(i, node.put())) || !node) continue;
    node->get_nodeName(name.put());
    node->get_text(text.put());
    found.emplace_back(name.str(), text.str());
  }
  return found;
}

// A path written with a drive or "\" as a file: URL, so that it combines as
// one; anything else as it is.
std::u16string asUrl(std::u16string_view address) {
  const bool drive = address.size() >= 2 && address[1] == u':';
  if (!drive) return std::u16string(address);
  std::u16string url = u"file:///" + std::u16string(address);
  std::ranges::replace(url, u'\\', u'/');
  return url;
}

// A document that reads no DTD or entity, made safe as every document is.
ComPtr<IXMLDOMDocument2> scratchDocument() {
  ComPtr<IXMLDOMDocument2> doc;
  if (FAILED(CoCreateInstance(kClsidFreeThreadedDomDocument30, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                              doc.putVoid())) ||
      FAILED(applyDocumentProperties(*doc.get())) || FAILED(doc->put_async(VARIANT_FALSE)) ||
      FAILED(doc->put_validateOnParse(VARIANT_FALSE)) || FAILED(prepareStylesheetLoad(*doc.get())))
    return {};
  return doc;
}

}  // namespace

std::u16string writeElementsXPath() {
  std::u16string xpath = u"//*[";
  for (const WriteElement& element : kWriteElements) {
    if (xpath.size() > 4) xpath += u" or ";
    xpath.append(u"(namespace-uri()='").append(element.namespaceUri).append(u"' and local-name()='");
    xpath.append(element.localName).append(u"')");
  }
  return xpath + u"]";
}

std::optional<std::u16string> resolveHref(std::u16string_view base, std::u16string_view href) {
  const std::u16string relative(href);
  if (base.empty()) {
    const ReferenceKind kind = classifyReference(relative);
    const bool absolute = kind == ReferenceKind::kNetwork || relative.find(u':') != std::u16string::npos ||
                          relative.starts_with(u"\\\\") || relative.starts_with(u"//");
    if (absolute) return relative;
    return std::nullopt;
  }
  const std::u16string baseUrl = asUrl(base);
  wchar_t combined[kMaxUrlLength];
  combined[0] = L'\0';
  DWORD length = 0;
  if (FAILED(CoInternetCombineUrl(win::wide(baseUrl.c_str()), win::wide(relative.c_str()), 0, combined, kMaxUrlLength,
                                  &length, 0)))
    return std::nullopt;
  combined[kMaxUrlLength - 1] = L'\0';
  return std::u16string(win::u16(combined));
}

StylesheetTree readStylesheetTree(IXMLDOMDocument2& stylesheet, std::u16string_view address) {
  StylesheetTree tree;
  struct Member {
    ComPtr<IXMLDOMDocument2> doc;
    std::u16string address;
  };
  std::vector<Member> pending;
  ComPtr<IXMLDOMDocument2> root;
  stylesheet.AddRef();
  root = ComPtr<IXMLDOMDocument2>::adopt(&stylesheet);
  pending.push_back({root, std::u16string(address)});
  std::vector<std::u16string> seen = {asUrl(address)};
  if (classifyReference(address) == ReferenceKind::kNetwork) tree.networkUrls.emplace_back(address);
  const std::u16string writes = writeElementsXPath();
  while (!pending.empty()) {
    const Member member = std::move(pending.back());
    pending.pop_back();
    const auto written = select(*member.doc.get(), writes);
    if (!written.empty()) {
      tree.refusal = u"The stylesheet uses " + written.front().first +
                     u", an element that writes a file, which no stylesheet may do";
      if (!member.address.empty()) tree.refusal->append(u" (in ").append(member.address).append(u")");
      return tree;
    }
    for (const auto& [name, href] : select(*member.doc.get(), kHrefsXPath)) {
      const std::optional<std::u16string> url = resolveHref(member.address, href);
      if (!url || std::ranges::find(seen, *url) != seen.end()) continue;
      seen.push_back(*url);
      const ReferenceKind kind = classifyReference(*url);
      if (kind != ReferenceKind::kLocal && kind != ReferenceKind::kNetwork) {
        tree.refusal = refusalReason(*url, kind);
        return tree;
      }
      if (seen.size() > kMaxMembers) continue;
      ComPtr<IXMLDOMDocument2> doc = scratchDocument();
      if (!doc) continue;
      if (kind == ReferenceKind::kNetwork) tree.networkUrls.push_back(*url);
      const NetworkOpening opening(kind == ReferenceKind::kNetwork ? std::vector{*url} : std::vector<std::u16string>{});
      Variant source = Variant::string(*url);
      VARIANT_BOOL loaded = VARIANT_FALSE;
      if (SUCCEEDED(doc->load(*source.get(), &loaded)) && loaded == VARIANT_TRUE) {
        pending.push_back({std::move(doc), *url});
      }
    }
  }
  return tree;
}

}  // namespace tarnweld::xml
