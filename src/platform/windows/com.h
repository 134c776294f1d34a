// Owners for the COM resources the Windows backends hold: an apartment, an
// interface pointer, a BSTR, a VARIANT, an EXCEPINFO. Every one releases what it
// holds when destroyed, so no raw resource lives across a call that can throw.
// Also the reference counting every hand-written COM object needs.
#pragma once

// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <atomic>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tarnweld::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows strings are UTF-16");

// The program's text is UTF-16 in char16_t; Windows calls take the same units
// as wchar_t. These two casts are the only place the two meet.
inline const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* wide(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }
inline const char16_t* u16(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }

// The text of `b`; a null BSTR is the empty string.
inline std::u16string bstrText(BSTR b) { return b ? std::u16string(u16(b), SysStringLen(b)) : std::u16string(); }

// CoInitializeEx for the owner's lifetime; CoUninitialize when it goes, so an
// apartment made first is left last.
class ComApartment {
 public:
  explicit ComApartment(DWORD model) : status_(CoInitializeEx(nullptr, model)) {}
  ~ComApartment() {
    if (SUCCEEDED(status_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  bool ok() const { return SUCCEEDED(status_); }
  HRESULT status() const { return status_; }

 private:
  HRESULT status_;
};

// One reference to a COM interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Adopts a reference the caller already owns.
  static ComPtr adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  // For an out-parameter: releases what is held and returns the slot to fill.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  template <class U>
  HRESULT queryInterface(REFIID iid, ComPtr<U>& out) const {
    return p_ ? p_->QueryInterface(iid, out.putVoid()) : E_POINTER;
  }

 private:
  T* p_ = nullptr;
};

// Reference counting and QueryInterface for an object of one interface, which
// also answers for the interfaces that one derives from (`Bases`). It is made
// with one reference, which its maker adopts into a ComPtr.
template <class Interface, class... Bases>
class ComObject : public Interface {
  static_assert((std::is_base_of_v<Bases, Interface> && ...), "Bases are interfaces Interface derives from");

 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == __uuidof(Interface) || (... || (iid == __uuidof(Bases)))) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

// One BSTR. A null BSTR reads as the empty string.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::u16string_view s) : b_(SysAllocStringLen(wide(s.data()), static_cast<UINT>(s.size()))) {
    if (!b_) throw std::bad_alloc();
  }
  Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
  Bstr& operator=(Bstr o) noexcept {
    std::swap(b_, o.b_);
    return *this;
  }
  Bstr(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b_); }

  BSTR get() const { return b_; }
  BSTR* put() {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  // The slot itself, for an in-out reference: the callee may free what it
  // holds and store another BSTR, which this owner then frees.
  BSTR* inOut() { return &b_; }
  // Hands the BSTR to a caller that frees it (an out-parameter of ours).
  BSTR release() { return std::exchange(b_, nullptr); }

  std::u16string str() const { return bstrText(b_); }

 private:
  BSTR b_ = nullptr;
};

// One VARIANT, cleared when destroyed.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  static Variant string(std::u16string_view s) {
    Variant v;
    v.v_.bstrVal = Bstr(s).release();
    v.v_.vt = VT_BSTR;
    return v;
  }
  static Variant int16(SHORT i) {
    Variant v;
    v.v_.vt = VT_I2;
    v.v_.iVal = i;
    return v;
  }
  // A reference to `slot`, which stays the owner of the BSTR it holds.
  static Variant stringRef(Bstr& slot) {
    Variant v;
    v.v_.vt = VT_BSTR | VT_BYREF;
    v.v_.pbstrVal = slot.inOut();
    return v;
  }

  Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  // Hands the value to a caller that clears it.
  VARIANT release() {
    const VARIANT v = v_;
    VariantInit(&v_);
    return v;
  }

 private:
  VARIANT v_;
};

// The exception record an automation call may fill in.
class ExcepInfo {
 public:
  ExcepInfo() { clearFields(); }
  ExcepInfo(const ExcepInfo&) = delete;
  ExcepInfo& operator=(const ExcepInfo&) = delete;
  ~ExcepInfo() { free(); }

  EXCEPINFO* get() { return &e_; }

 private:
  void clearFields() { e_ = EXCEPINFO{}; }
  void free() {
    SysFreeString(e_.bstrSource);
    SysFreeString(e_.bstrDescription);
    SysFreeString(e_.bstrHelpFile);
    clearFields();
  }
  EXCEPINFO e_;
};

}  // namespace tarnweld::win
