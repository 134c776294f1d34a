// The stylesheet tree on Windows, read before the stylesheet compiles: the
// stylesheet and every file it imports or includes, each read once in a
// document of its own that reads no DTD or entity. The walk finds what the
// compilation may read over the network (exactly the tree's http, https and
// ftp members, so its DTDs and entities, and any address made from them,
// stay off the network) and refuses, before anything runs, a tree that
// writes files or reaches a share or another scheme. MSXML 3.0 has no
// element that writes a file; Wine's msxml3, built on libxslt, runs every
// one listed below, so the walk refuses them for every parser.
#pragma once

// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <msxml2.h>
// clang-format on

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnweld::xml {

// An element that writes a file, by namespace and local name.
struct WriteElement {
  std::u16string_view namespaceUri;
  std::u16string_view localName;
};

inline constexpr WriteElement kWriteElements[] = {
    {u"http://www.w3.org/1999/XSL/Transform", u"document"},
    {u"http://www.w3.org/1999/XSL/Transform", u"result-document"},
    {u"http://exslt.org/common", u"document"},
    {u"http://icl.com/saxon", u"output"},
    {u"http://saxon.sf.net/", u"output"},
    {u"http://www.jclark.com/xt", u"document"},
    {u"org.apache.xalan.xslt.extensions.Redirect", u"write"},
    {u"org.apache.xalan.xslt.extensions.Redirect", u"open"},
    {u"http://xml.apache.org/xalan/redirect", u"write"},
    {u"http://xml.apache.org/xalan/redirect", u"open"},
    {u"xalan://org.apache.xalan.lib.Redirect", u"write"},
    {u"xalan://org.apache.xalan.lib.Redirect", u"open"},
    {u"http://xmlsoft.org/XSLT/namespace", u"document"},
};

// The XPath that selects every write element of a document.
std::u16string writeElementsXPath();

// `href` resolved against the address `base` of the file that names it (a
// path, a file: URL or a network address), or nothing when it cannot be.
std::optional<std::u16string> resolveHref(std::u16string_view base, std::u16string_view href);

struct StylesheetTree {
  std::vector<std::u16string> networkUrls;  // the members read over http, https or ftp
  std::optional<std::u16string> refusal;    // why the tree must not compile, if it must not
};

// Walks the tree of `stylesheet`, loaded from `address` (empty when it was
// loaded from text: then only absolute references are followed). A member
// that does not load ends its branch: the compilation reports it.
StylesheetTree readStylesheetTree(IXMLDOMDocument2& stylesheet, std::u16string_view address);

}  // namespace tarnweld::xml
