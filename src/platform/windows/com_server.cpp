#include "platform/windows/com_server.h"

#include <optional>

#include "platform/windows/process_facts.h"

namespace tarnweld::host {
namespace {

using win::wide;

class ObjectFactory final : public ComObject<IClassFactory> {
 public:
  explicit ObjectFactory(IDispatch* object) : object_(object) { object_->AddRef(); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return object_->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  ~ObjectFactory() override { object_->Release(); }

  IDispatch* object_;
};

std::u16string guidText(const GUID& guid) {
  wchar_t text[39] = {};
  StringFromGUID2(guid, text, 39);
  return win::u16(text);
}

HRESULT setValue(HKEY root, const std::u16string& subKey, std::u16string_view value) {
  const std::u16string terminated(value);
  const auto bytes = static_cast<DWORD>((terminated.size() + 1) * sizeof(char16_t));
  return HRESULT_FROM_WIN32(RegSetKeyValueW(root, wide(subKey.c_str()), nullptr, REG_SZ, terminated.c_str(), bytes));
}

// The class the ProgID names now, if it names one.
std::optional<std::u16string> namedClass(HKEY root, const std::u16string& progIdKey) {
  wchar_t text[64] = {};
  DWORD bytes = sizeof text - sizeof(wchar_t);
  if (RegGetValueW(root, wide((progIdKey + u"\\CLSID").c_str()), nullptr, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::u16string(win::u16(text));
}

}  // namespace

CLSID freshClass() {
  CLSID clsid;
  return SUCCEEDED(CoCreateGuid(&clsid)) ? clsid : kStandInClsid;
}

ClassOffer::ClassOffer(std::u16string_view progId, const CLSID& clsid, IDispatch* object)
    : root_(win::wineVersion() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER),
      clsid_(clsid),
      progIdKey_(u"Software\\Classes\\" + std::u16string(progId)),
      clsidKey_(u"Software\\Classes\\CLSID\\" + guidText(clsid)) {
  // An offer whose owner was killed left its keys: its class goes with them.
  if (const std::optional<std::u16string> stale = namedClass(root_, progIdKey_)) {
    RegDeleteTreeW(root_, wide((u"Software\\Classes\\CLSID\\" + *stale).c_str()));
  }
  status_ = setValue(root_, progIdKey_ + u"\\CLSID", guidText(clsid));
  if (SUCCEEDED(status_)) status_ = setValue(root_, clsidKey_, u"plug-in core stand-in");
  if (SUCCEEDED(status_)) status_ = setValue(root_, clsidKey_ + u"\\ProgID", progId);
  if (FAILED(status_)) return;
  factory_ = win::ComPtr<IClassFactory>::adopt(new ObjectFactory(object));
  status_ = CoRegisterClassObject(clsid_, factory_.get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
  registered_ = SUCCEEDED(status_);
}

ClassOffer::~ClassOffer() {
  if (registered_) CoRevokeClassObject(cookie_);
  RegDeleteTreeW(root_, wide(progIdKey_.c_str()));
  RegDeleteTreeW(root_, wide(clsidKey_.c_str()));
}

}  // namespace tarnweld::host
