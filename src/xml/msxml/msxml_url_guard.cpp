#include "xml/msxml/msxml_url_guard.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "xml/msxml/msxml_builtin_dtds.h"
#include "xml/msxml/msxml_reference_rule.h"

namespace tarnweld::xml {
namespace {

using win::ComObject;
using win::ComPtr;

// The schemes whose reads the guard may let through.
constexpr std::u16string_view kReadSchemes[] = {u"file", u"http", u"https", u"ftp"};

// Schemes a Windows machine may have built in, refused whether or not the
// machine lists them among its protocol handlers: compiled help and its
// monikers, resources, web archives, scripts, directories, old protocols
// (gopher waits for a server that never answers), and the views of a browser.
constexpr std::u16string_view kRefusedSchemes[] = {
    u"mk",    u"its",       u"ms-its",      u"ms-itss",    u"res",        u"mhtml",       u"gopher", u"ldap",
    u"data",  u"about",     u"jar",         u"javascript", u"vbscript",   u"view-source", u"telnet", u"news",
    u"nntp",  u"snews",     u"mailto",      u"wais",       u"local",      u"ms-help",     u"tv",     u"sysimage",
    u"shell", u"search-ms", u"ms-settings", u"ms-appx",    u"ms-appdata",
};

// Where the machine lists the protocol handlers URL monikers may start.
constexpr wchar_t kProtocolHandlersKey[] = L"PROTOCOLS\\Handler";

// The process-wide lock-down of the protocols the guard does not name: the
// mk: protocol off, and each zone's protocol lock-down on.
constexpr INTERNETFEATURELIST kLockdownFeatures[] = {FEATURE_DISABLE_MK_PROTOCOL, FEATURE_PROTOCOL_LOCKDOWN};

// The guard's own class, under which the URL session knows it.
// {6B0E2C54-3F1A-4C8E-9D27-5A1F0B7C9E43}
constexpr CLSID kGuardClsid = {0x6b0e2c54, 0x3f1a, 0x4c8e, {0x9d, 0x27, 0x5a, 0x1f, 0x0b, 0x7c, 0x9e, 0x43}};

// The system's own handlers, which read what the guard lets through. A
// namespace handler may answer INET_E_USE_DEFAULT_PROTOCOLHANDLER instead,
// but Wine's URL monikers take that for a failure, so the guard reads through
// the system's handler itself.
// {79EAC9E2-BAF9-11CE-8C82-00AA004BA90B}, {79EAC9E5-...}, {79EAC9E3-...},
// {79EAC9E7-...}
constexpr CLSID kHttpProtocol = {0x79eac9e2, 0xbaf9, 0x11ce, {0x8c, 0x82, 0x00, 0xaa, 0x00, 0x4b, 0xa9, 0x0b}};
constexpr CLSID kHttpsProtocol = {0x79eac9e5, 0xbaf9, 0x11ce, {0x8c, 0x82, 0x00, 0xaa, 0x00, 0x4b, 0xa9, 0x0b}};
constexpr CLSID kFtpProtocol = {0x79eac9e3, 0xbaf9, 0x11ce, {0x8c, 0x82, 0x00, 0xaa, 0x00, 0x4b, 0xa9, 0x0b}};
constexpr CLSID kFileProtocol = {0x79eac9e7, 0xbaf9, 0x11ce, {0x8c, 0x82, 0x00, 0xaa, 0x00, 0x4b, 0xa9, 0x0b}};

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
                       : hasScheme(u"file")  ? &kFileProtocol
                                             : nullptr;
  ComPtr<IInternetProtocol> handler;
  if (clsid) CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInternetProtocol, handler.putVoid());
  return handler;
}

// The addresses the open NetworkOpenings name, each as admissionKey makes
// it, once per opening. Reads arrive on whichever thread the URL moniker
// binds on.
std::mutex windowMutex;
std::vector<std::u16string> admittedKeys;

// `url` without its fragment, its scheme and host folded to lower case.
std::u16string admissionKey(std::u16string_view url) {
  std::u16string key(url.substr(0, url.find(u'#')));
  const std::size_t authority = key.find(u"://");
  const std::size_t hostEnd = authority == std::u16string::npos ? 0 : key.find(u'/', authority + 3);
  const std::size_t foldEnd = hostEnd == std::u16string::npos ? key.size() : hostEnd;
  for (std::size_t i = 0; i < foldEnd; ++i) {
    if (key[i] >= u'A' && key[i] <= u'Z') key[i] = static_cast<char16_t>(key[i] + 0x20);
  }
  return key;
}

// One read through the guard: it serves a built-in DTD from memory, hands
// the read to the system's handler, or refuses it.
class GuardProtocol final : public ComObject<IInternetProtocol, IInternetProtocolRoot> {
 public:
  HRESULT STDMETHODCALLTYPE Start(LPCWSTR url, IInternetProtocolSink* sink, IInternetBindInfo* bindInfo, DWORD flags,
                                  HANDLE_PTR reserved) override {
    if (!url || !sink) return E_INVALIDARG;
    const std::u16string_view address(win::u16(url));
    switch (decideUrl(address, networkAdmits(address))) {
      case UrlDecision::kPassThrough:
        system_ = systemHandler(address);
        if (!system_) return INET_E_USE_DEFAULT_PROTOCOLHANDLER;
        return system_->Start(url, sink, bindInfo, flags, reserved);
      case UrlDecision::kRefuse: {
        const std::u16string reason = refusalReason(address, classifyReference(address));
        sink->ReportResult(E_ACCESSDENIED, 0, win::wide(reason.c_str()));
        return E_ACCESSDENIED;
      }
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

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};

// The schemes the machine lists protocol handlers for, folded to lower case.
std::vector<std::u16string> registeredSchemes() {
  std::vector<std::u16string> schemes;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kProtocolHandlersKey, 0, KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS) {
    return schemes;
  }
  const std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser> owner(key);
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = std::size(name);
    const LSTATUS status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    std::u16string scheme(win::u16(name), length);
    for (char16_t& c : scheme) {
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
    }
    schemes.push_back(std::move(scheme));
  }
  return schemes;
}

}  // namespace

UrlDecision decideUrl(std::u16string_view url, bool admitted) {
  if (builtInDtd(url)) return UrlDecision::kServeBuiltIn;
  switch (classifyReference(url)) {
    case ReferenceKind::kLocal:
      return UrlDecision::kPassThrough;
    case ReferenceKind::kNetwork:
      return admitted ? UrlDecision::kPassThrough : UrlDecision::kRefuse;
    case ReferenceKind::kShare:
    case ReferenceKind::kOtherScheme:
    case ReferenceKind::kMalformed:
      break;
  }
  return UrlDecision::kRefuse;
}

std::span<const std::u16string_view> refusedSchemes() { return kRefusedSchemes; }

NetworkOpening::NetworkOpening(std::vector<std::u16string> urls) : urls_(std::move(urls)) {
  for (std::u16string& url : urls_) url = admissionKey(url);
  const std::lock_guard lock(windowMutex);
  admittedKeys.insert(admittedKeys.end(), urls_.begin(), urls_.end());
}

NetworkOpening::~NetworkOpening() {
  const std::lock_guard lock(windowMutex);
  for (const std::u16string& url : urls_) {
    const auto found = std::ranges::find(admittedKeys, url);
    if (found != admittedKeys.end()) admittedKeys.erase(found);
  }
}

bool networkAdmits(std::u16string_view url) {
  const std::u16string key = admissionKey(url);
  const std::lock_guard lock(windowMutex);
  return std::ranges::find(admittedKeys, key) != admittedKeys.end();
}

Result<UrlGuard> UrlGuard::install() {
  UrlGuard guard;
  if (FAILED(CoInternetGetSession(0, guard.session_.put(), 0)) || !guard.session_) {
    return fail("cannot reach the URL session");
  }
  guard.factory_ = ComPtr<IClassFactory>::adopt(new (std::nothrow) GuardFactory());
  if (!guard.factory_) return fail("out of memory");
  for (const INTERNETFEATURELIST feature : kLockdownFeatures) {
    if (FAILED(CoInternetSetFeatureEnabled(feature, SET_FEATURE_ON_PROCESS, TRUE))) {
      return fail("cannot lock the other protocols down");
    }
  }
  std::vector<std::u16string> schemes(std::begin(kReadSchemes), std::end(kReadSchemes));
  schemes.insert(schemes.end(), std::begin(kRefusedSchemes), std::end(kRefusedSchemes));
  for (std::u16string& scheme : registeredSchemes()) {
    if (std::ranges::find(schemes, scheme) == schemes.end()) schemes.push_back(std::move(scheme));
  }
  for (const std::u16string& scheme : schemes) {
    if (FAILED(guard.session_->RegisterNameSpace(guard.factory_.get(), kGuardClsid, win::wide(scheme.c_str()), 0,
                                                 nullptr, 0))) {
      return fail("cannot guard reads");  // the guard's destructor withdraws what was registered
    }
    guard.schemes_.push_back(scheme);
  }
  return guard;
}

UrlGuard::~UrlGuard() {
  if (!session_) return;
  for (const std::u16string& scheme : schemes_)
    session_->UnregisterNameSpace(factory_.get(), win::wide(scheme.c_str()));
}

}  // namespace tarnweld::xml
