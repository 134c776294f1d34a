// The second-level properties every parser document gets the moment it is
// made, before anything is loaded into it. MSXML 3.0's defaults are the
// permissive ones: left alone, an msxsl:script block in a stylesheet runs
// with the user's rights. The properties act on the document they are set on,
// so both the XML document and the stylesheet document get all of them.
#pragma once

// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <string_view>

#include "platform/windows/com.h"

namespace tarnweld::xml {

struct DocumentProperty {
  std::u16string_view name;
  bool value;
};

// In the order they are set. AllowXsltScript off: no stylesheet code runs; a
// stylesheet that calls script fails to transform and its report says why.
// The reference rule (what may be read, and from where) is the URL handler's
// (msxml_url_guard.h), not a property's, so a source's local DTDs and
// entities and a local document() stay readable.
inline constexpr DocumentProperty kDocumentProperties[] = {
    {u"AllowXsltScript", false},
};

// Sets every property on `doc` (an IXMLDOMDocument2, or a recording of its
// setProperty calls) in order, and stops at the first that fails: a document
// that cannot be made safe is not used.
template <class Document>
HRESULT applyDocumentProperties(Document& doc) {
  for (const DocumentProperty& property : kDocumentProperties) {
    const win::Bstr name(property.name);
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = property.value ? VARIANT_TRUE : VARIANT_FALSE;
    const HRESULT status = doc.setProperty(name.get(), value);
    if (FAILED(status)) return status;
  }
  return S_OK;
}

// Readies `doc` (an IXMLDOMDocument2, or a recording) for the stylesheet's
// load: its external DTD and entities are not read, local or not. MSXML 3.0
// reads them through the same URL handler as the stylesheet and what it
// imports, so they cannot be told apart while the network is open to the
// stylesheet tree; and an entity read from a local file could build an
// address that the tree's own reads would carry out.
template <class Document>
HRESULT prepareStylesheetLoad(Document& doc) {
  return doc.put_resolveExternals(VARIANT_FALSE);
}

}  // namespace tarnweld::xml
