// The host editor's side of COM, for the stand-in and the tests: an object
// offered to other processes under the host's ProgID while its offer lives.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/windows/com.h"

namespace tarnweld::host {

// The stand-in's own class; the plug-in finds it through the ProgID only.
// {F2419DFA-C3C6-4981-B6F8-5878ACCA5498}
inline constexpr CLSID kStandInClsid = {0xf2419dfa, 0xc3c6, 0x4981, {0xb6, 0xf8, 0x58, 0x78, 0xac, 0xca, 0x54, 0x98}};

using win::ComObject;

// A class id made for one offer, so that no registration a killed offer left
// stands in its way; kStandInClsid when none can be made.
CLSID freshClass();

// Offers `object` to every process under `progId` for the offer's lifetime:
// writes the ProgID and class keys (for the current user; under Wine, whose
// COM reads classes only from HKEY_LOCAL_MACHINE, for the machine) and
// registers a class object that hands out `object`. No LocalServer32 key is
// written, so nothing is started for a plug-in that runs when no offer does.
// Destroying the offer revokes the class object and removes the keys. An
// offer whose process was killed leaves its keys behind, and COM may keep
// its class registered for the dead process: so the next offer under the
// same ProgID first removes the class key the ProgID names, and an owner
// that can be killed offers a class of its own each time (freshClass).
class ClassOffer {
 public:
  ClassOffer(std::u16string_view progId, const CLSID& clsid, IDispatch* object);
  ClassOffer(const ClassOffer&) = delete;
  ClassOffer& operator=(const ClassOffer&) = delete;
  ~ClassOffer();

  // S_OK when the object is on offer.
  HRESULT status() const { return status_; }

 private:
  HKEY root_;
  CLSID clsid_;
  std::u16string progIdKey_;
  std::u16string clsidKey_;
  win::ComPtr<IClassFactory> factory_;
  DWORD cookie_ = 0;
  bool registered_ = false;
  HRESULT status_ = S_OK;
};

}  // namespace tarnweld::host
