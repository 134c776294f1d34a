#include "xml/msxml/msxml_url_guard.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <optional>

#include "xml/msxml/msxml_builtin_dtds.h"

namespace tarnweld::xml {
namespace {

using win::ComObject;
using win::ComPtr;

// The schemes that reach the network.
constexpr const wchar_t* kSchemes[] = {L"http", L"https", L"ftp"};

// The guard's own class, under which the URL session knows it.
// {6B0E2C54-3F1A-4C8E-9D27-5A1F0B7C9E43}
constexpr CLSID kGuardClsid = {0x6b0e2c54, 0x3f1a, 0x4c8e, {0x9d, 0x27, 0x5a, 0x1f, 0x0b, 0x7c, 0x9e, 0x43}};

// The system's own handlers, which read what the guard lets through. A
// namespace handler may answer INET_E_USE_DEFAULT_PROTOCOLHANDLER instead,
// but Wine's URL monikers take that for a failure, so the guard reads through
// the system's handler itself.
// {79EAC9E2-BAF9-11CE-8C82-00AA004BA90B}, {79EAC9E5-...}, {79EAC9E3-...}
constexpr CLSID kHttpProtocol = {0x79eac9e2, 0xbaf9, 0x11ce, {0x8c, 0x82, 0x00, 0xaa, 0x00, 0x4b, 0xa9, 0x0b}};
constexpr CLSID kHttpsProtocol = {0x79eac9e5, 0xbaf9, 0x11ce, {0x8c, 0x82, 0x00, 0xaa, 0x00, 0x4b, 0xa9, 0x0b}};
constexpr CLSID kFtpProtocol = {0x79eac9e3, 0xbaf9, 0x11ce, {0x8c, 0x82, 0x00, 0xaa, 0x00, 0x4b, 0xa9, 0x0b}};

// The system handler for `url`'s scheme, or nothing for another scheme.
ComPtr<IInternetProtocol> systemHandler(std::u16string_view url) {
  const auto hasScheme = [url](std::u16string_view scheme) {
    if (url.size() <= scheme.size() || url[scheme.size()] != u':') return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
      if ((url[i] | 0x20) != scheme[i]) return false;
    }
    return true;
  };
  const CLSID* clsid = hasScheme(u"http")    ? &kHttpProtocol
                       : hasScheme(u"https") ? &kHttpsProtocol
                       : hasScheme(u"ftp")   ? &kFtpProtocol
                                             : nullptr;
  ComPtr<IInternetProtocol> handler;
  if (clsid) CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInternetProtocol, handler.putVoid());
  return handler;
}

// How many NetworkOpenings live. Reads arrive on whichever thread the URL
// moniker binds on.
std::atomic<int> openings{0};

// One read through the guard: it serves a built-in DTD from memory, hands
// the read to the system's handler, or refuses it.
class GuardProtocol final : public ComObject<IInternetProtocol, IInternetProtocolRoot> {
 public:
  HRESULT STDMETHODCALLTYPE Start(LPCWSTR url, IInternetProtocolSink* sink, IInternetBindInfo* bindInfo, DWORD flags,
                                  HANDLE_PTR reserved) override {
    if (!url || !sink) return E_INVALIDARG;
    const std::u16string_view address(win::u16(url));
    switch (decideUrl(address, openings.load() > 0)) {
      case UrlDecision::kPassThrough:
        system_ = systemHandler(address);
        if (!system_) return INET_E_USE_DEFAULT_PROTOCOLHANDLER;
        return system_->Start(url, sink, bindInfo, flags, reserved);
      case UrlDecision::kRefuse:
        sink->ReportResult(E_ACCESSDENIED, 0, nullptr);
        return E_ACCESSDENIED;
      case UrlDecision::kServeBuiltIn:
        break;
    }
    text_ = builtInDtd(address).value_or(std::string_view());
    const auto size = static_cast<ULONG>(text_.size());
    sink->ReportProgress(BINDSTATUS_MIMETYPEAVAILABLE, L"application/xml-dtd");
    sink->ReportData(BSCF_FIRSTDATANOTIFICATION | BSCF_LASTDATANOTIFICATION | BSCF_DATAFULLYAVAILABLE, size, size);
    sink->ReportResult(S_OK, 0, nullptr);
    return S_OK;
  }
  // A read let through is the system handler's from here on.
  HRESULT STDMETHODCALLTYPE Continue(PROTOCOLDATA* data) override { return system_ ? system_->Continue(data) : S_OK; }
  HRESULT STDMETHODCALLTYPE Abort(HRESULT reason, DWORD options) override {
    return system_ ? system_->Abort(reason, options) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Terminate(DWORD options) override { return system_ ? system_->Terminate(options) : S_OK; }
  HRESULT STDMETHODCALLTYPE Suspend() override { return system_ ? system_->Suspend() : E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Resume() override { return system_ ? system_->Resume() : E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
    if (system_) return system_->Read(buffer, size, read);
    if (!buffer && size > 0) return E_POINTER;
    const std::size_t count = std::min<std::size_t>(size, text_.size() - position_);
    if (count > 0) std::memcpy(buffer, text_.data() + position_, count);
    position_ += count;
    if (read) *read = static_cast<ULONG>(count);
    return position_ == text_.size() ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    return system_ ? system_->Seek(move, origin, position) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE LockRequest(DWORD options) override {
    return system_ ? system_->LockRequest(options) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE UnlockRequest() override { return system_ ? system_->UnlockRequest() : S_OK; }

 private:
  ~GuardProtocol() override = default;

  ComPtr<IInternetProtocol> system_;  // the read let through, if any
  std::string_view text_;             // the built-in DTD served, if any
  std::size_t position_ = 0;
};

class GuardFactory final : public ComObject<IClassFactory> {
 public:
  // The URL session first asks for an aggregated object and, refused, for a
  // plain one.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* protocol = new (std::nothrow) GuardProtocol();
    if (!protocol) return E_OUTOFMEMORY;
    const HRESULT status = protocol->QueryInterface(iid, out);
    protocol->Release();
    return status;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  ~GuardFactory() override = default;
};

}  // namespace

UrlDecision decideUrl(std::u16string_view url, bool networkOpen) {
  if (builtInDtd(url)) return UrlDecision::kServeBuiltIn;
  return networkOpen ? UrlDecision::kPassThrough : UrlDecision::kRefuse;
}

NetworkOpening::NetworkOpening() { ++openings; }
NetworkOpening::~NetworkOpening() { --openings; }

Result<UrlGuard> UrlGuard::install() {
  UrlGuard guard;
  if (FAILED(CoInternetGetSession(0, guard.session_.put(), 0)) || !guard.session_) {
    return fail("cannot reach the URL session");
  }
  guard.factory_ = ComPtr<IClassFactory>::adopt(new (std::nothrow) GuardFactory());
  if (!guard.factory_) return fail("out of memory");
  for (const wchar_t* scheme : kSchemes) {
    if (FAILED(guard.session_->RegisterNameSpace(guard.factory_.get(), kGuardClsid, scheme, 0, nullptr, 0))) {
      return fail("cannot guard network reads");  // the guard's destructor withdraws what was registered
    }
  }
  return guard;
}

UrlGuard::~UrlGuard() {
  if (!session_) return;
  for (const wchar_t* scheme : kSchemes) session_->UnregisterNameSpace(factory_.get(), scheme);
}

}  // namespace tarnweld::xml
