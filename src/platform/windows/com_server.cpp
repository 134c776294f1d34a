#include "platform/windows/com_server.h"

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

}  // namespace

ClassOffer::ClassOffer(std::u16string_view progId, const CLSID& clsid, IDispatch* object)
    : root_(win::wineVersion() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER),
      clsid_(clsid),
      progIdKey_(u"Software\\Classes\\" + std::u16string(progId)),
      clsidKey_(u"Software\\Classes\\CLSID\\" + guidText(clsid)) {
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
