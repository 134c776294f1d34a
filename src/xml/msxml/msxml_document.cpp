// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <msxml2.h>
// clang-format on

#include <cstdio>

#include "platform/windows/com.h"
#include "text/utf.h"
#include "xml/msxml/msxml_errors.h"
#include "xml/msxml/msxml_guids.h"
#include "xml/msxml/msxml_parser.h"
#include "xml/msxml/msxml_properties.h"
#include "xml/msxml/msxml_reference_rule.h"
#include "xml/msxml/msxml_stylesheet_tree.h"
#include "xml/msxml/msxml_url_guard.h"

namespace tarnweld::xml {
namespace {

using win::Bstr;
using win::ComPtr;
using win::Variant;

VARIANT_BOOL toVariantBool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

// A load's answer: a failing status is a failed step; otherwise the flag
// decides. A parser may answer a load that did not happen with S_FALSE, a
// success status, and the flag false: that is a load that returned false.
std::optional<bool> loadedFlag(HRESULT status, VARIANT_BOOL loaded) {
  if (FAILED(status)) return std::nullopt;
  return loaded == VARIANT_TRUE;
}

template <class Get>
std::optional<std::u16string> readText(Get get) {
  Bstr text;
  if (FAILED(get(text.put()))) return std::nullopt;
  return text.str();
}

template <class Get>
std::optional<std::int32_t> readNumber(Get get) {
  long n = 0;
  if (FAILED(get(&n))) return std::nullopt;
  return static_cast<std::int32_t>(n);
}

class MsxmlParseError final : public ParseError {
 public:
  explicit MsxmlParseError(ComPtr<IXMLDOMParseError> error) : error_(std::move(error)) {}

  std::optional<std::u16string> reason() const override {
    return readText([this](BSTR* b) { return error_->get_reason(b); });
  }
  std::optional<std::u16string> srcText() const override {
    return readText([this](BSTR* b) { return error_->get_srcText(b); });
  }
  std::optional<std::int32_t> line() const override {
    return readNumber([this](long* n) { return error_->get_line(n); });
  }
  std::optional<std::int32_t> linepos() const override {
    return readNumber([this](long* n) { return error_->get_linepos(n); });
  }

 private:
  ComPtr<IXMLDOMParseError> error_;
};

// The record of a read refused before the parser saw it: the reason alone.
class RefusedRead final : public ParseError {
 public:
  explicit RefusedRead(std::u16string reason) : reason_(std::move(reason)) {}

  std::optional<std::u16string> reason() const override { return reason_; }
  std::optional<std::u16string> srcText() const override { return u""; }
  std::optional<std::int32_t> line() const override { return 0; }
  std::optional<std::int32_t> linepos() const override { return 0; }

 private:
  std::u16string reason_;
};

// The record after a failed transformNode: the error object's description as
// the reason, and the line, column and text as the document's own record has
// them (MSXML describes a transformation's failure only in words).
class TransformFailure final : public ParseError {
 public:
  TransformFailure(std::u16string description, std::unique_ptr<ParseError> loadRecord)
      : description_(std::move(description)), loadRecord_(std::move(loadRecord)) {}

  std::optional<std::u16string> reason() const override { return description_; }
  std::optional<std::u16string> srcText() const override {
    return loadRecord_ ? loadRecord_->srcText() : std::optional<std::u16string>(u"");
  }
  std::optional<std::int32_t> line() const override { return loadRecord_ ? loadRecord_->line() : 0; }
  std::optional<std::int32_t> linepos() const override { return loadRecord_ ? loadRecord_->linepos() : 0; }

 private:
  std::u16string description_;
  std::unique_ptr<ParseError> loadRecord_;
};

class MsxmlDocument final : public XmlDocument {
 public:
  explicit MsxmlDocument(ComPtr<IXMLDOMDocument2> doc) : doc_(std::move(doc)) {}

  bool setValidateOnParse(bool validate) override {
    return SUCCEEDED(doc_->put_validateOnParse(toVariantBool(validate)));
  }
  bool setAsync(bool async) override { return SUCCEEDED(doc_->put_async(toVariantBool(async))); }

  std::optional<bool> loadXML(std::u16string_view text) override try {
    transformFailure_.reset();
    refusal_.reset();
    address_.clear();
    const Bstr source(text);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT status = doc_->loadXML(source.get(), &loaded);
    return loadedFlag(status, loaded);
  } catch (...) {
    return std::nullopt;
  }

  // The path goes to the parser as the run composed it (the parser reads "\"
  // and "/" paths, drive letters and URLs itself) once the reference rule has
  // passed it: a share or another scheme is refused here, with its reason.
  // This is the stylesheet's load: the file itself may come over the
  // network, and nothing else it names, its DTD and entities read from no
  // file at all (MSXML 3.0 reads both through the same URL handlers, so
  // they cannot be told apart from the stylesheet by their address).
  std::optional<bool> load(std::u16string_view path) override try {
    transformFailure_.reset();
    refusal_.reset();
    address_.assign(path);
    const ReferenceKind kind = classifyReference(path);
    if (kind != ReferenceKind::kLocal && kind != ReferenceKind::kNetwork) {
      refusal_ = refusalReason(path, kind);
      return false;
    }
    if (FAILED(prepareStylesheetLoad(*doc_.get()))) return std::nullopt;
    const Variant source = Variant::string(path);
    const NetworkOpening opening(kind == ReferenceKind::kNetwork ? std::vector{std::u16string(path)}
                                                                 : std::vector<std::u16string>{});
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT status = doc_->load(*source.get(), &loaded);
    return loadedFlag(status, loaded);
  } catch (...) {
    return std::nullopt;
  }

  std::unique_ptr<ParseError> parseError() const override try {
    if (refusal_) return std::make_unique<RefusedRead>(*refusal_);
    std::unique_ptr<ParseError> record;
    ComPtr<IXMLDOMParseError> error;
    if (SUCCEEDED(doc_->get_parseError(error.put())) && error) record = std::make_unique<MsxmlParseError>(error);
    if (transformFailure_) return std::make_unique<TransformFailure>(*transformFailure_, std::move(record));
    return record;
  } catch (...) {
    return nullptr;
  }

  std::optional<std::u16string> transformNode(XmlDocument& stylesheet) override try {
    const auto* sheet = dynamic_cast<MsxmlDocument*>(&stylesheet);
    if (!sheet) return std::nullopt;
    ComPtr<IXMLDOMNode> node;
    if (FAILED(sheet->doc_.queryInterface(IID_IXMLDOMNode, node))) return std::nullopt;
    transformFailure_.reset();
    // The tree is read first: a tree that writes files or reaches a share
    // never compiles, and the compilation may read over the network exactly
    // the tree's members.
    const StylesheetTree tree = readStylesheetTree(*sheet->doc_.get(), sheet->address_);
    if (tree.refusal) {
      transformFailure_ = *tree.refusal;
      return std::nullopt;
    }
    // The stylesheet is compiled first, its imports and includes read then;
    // the transformation runs with the network closed, so a document()
    // address is never read over the network. transformNode would do both
    // in one call.
    ComPtr<IXSLTemplate> compiler;
    HRESULT status =
        CoCreateInstance(kClsidXslTemplate30, nullptr, CLSCTX_INPROC_SERVER, kIidXslTemplate, compiler.putVoid());
    if (SUCCEEDED(status)) {
      const NetworkOpening opening(tree.networkUrls);
      status = compiler->putref_stylesheet(node.get());
    }
    ComPtr<IXSLProcessor> processor;
    if (SUCCEEDED(status)) status = compiler->createProcessor(processor.put());
    Variant input;
    input.get()->vt = VT_DISPATCH;
    input.get()->pdispVal = doc_.get();
    doc_->AddRef();
    VARIANT_BOOL done = VARIANT_FALSE;
    if (SUCCEEDED(status)) status = processor->put_input(*input.get());
    if (SUCCEEDED(status)) status = processor->transform(&done);
    Variant output;
    if (SUCCEEDED(status)) status = processor->get_output(output.get());
    if (SUCCEEDED(status) && output.get()->vt != VT_BSTR && output.get()->vt != VT_EMPTY) status = E_UNEXPECTED;
    if (FAILED(status)) {
      transformFailure_ = transformFailureReason(status);
      return std::nullopt;
    }
    return output.get()->vt == VT_BSTR ? win::bstrText(output.get()->bstrVal) : std::u16string();
  } catch (...) {
    return std::nullopt;
  }

 private:
  ComPtr<IXMLDOMDocument2> doc_;
  // Where the last load read from; empty after loadXML.
  std::u16string address_;
  // Why the last load was refused before the parser saw it, if it was.
  std::optional<std::u16string> refusal_;
  // The reason of the last transformNode, when it failed and said why.
  std::optional<std::u16string> transformFailure_;
};

class MsxmlParser final : public XmlParser {
 public:
  std::unique_ptr<XmlDocument> createDocument() override try {
    // No document is made before the network rule holds.
    if (!guard_) {
      Result<UrlGuard> guard = UrlGuard::install();
      if (!guard.ok()) return nullptr;
      guard_.emplace(std::move(*guard));
    }
    ComPtr<IXMLDOMDocument2> doc;
    if (FAILED(CoCreateInstance(kClsidFreeThreadedDomDocument30, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                                doc.putVoid())))
      return nullptr;
    if (FAILED(applyDocumentProperties(*doc.get()))) return nullptr;
    return std::make_unique<MsxmlDocument>(std::move(doc));
  } catch (...) {
    return nullptr;
  }

 private:
  std::optional<UrlGuard> guard_;
};

}  // namespace

std::u16string transformFailureReason(HRESULT status) try {
  ComPtr<IErrorInfo> info;
  Bstr description;
  if (GetErrorInfo(0, info.put()) == S_OK && info && SUCCEEDED(info->GetDescription(description.put()))) {
    std::u16string text = description.str();
    // MSXML ends its descriptions with a line break the report does not want.
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
    if (!text.empty()) return text;
  }
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
  return u"The transformation failed (error " + fromAscii(code) + u").";
} catch (...) {
  return u"The transformation failed.";
}

std::unique_ptr<XmlParser> makeMsxmlParser() { return std::make_unique<MsxmlParser>(); }

}  // namespace tarnweld::xml
