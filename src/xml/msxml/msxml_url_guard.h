// The network rule of the parser documents on Windows. MSXML 3.0 reads every
// http, https and ftp address through URL monikers, which consult the
// namespace handlers registered in the process first; the guard is one for
// those three schemes. It answers a built-in DTD's address from the program,
// lets any other network read through to the system's handler only while a
// NetworkOpening lives (the stylesheet's load and compilation, which reads its
// imports and includes), and refuses it otherwise: the
// source's external entities and DTDs and every document() address are never
// read over the network. Local files do not pass through it.
#pragma once

// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <urlmon.h>
// clang-format on

#include <string_view>

#include "core/result.h"
#include "platform/windows/com.h"

namespace tarnweld::xml {

enum class UrlDecision {
  kServeBuiltIn,  // answered from the built-in DTDs
  kPassThrough,   // read by the system's handler
  kRefuse,        // not read
};

// What the guard does with a read of `url` while the network is open or not.
UrlDecision decideUrl(std::u16string_view url, bool networkOpen);

// Opens the network for its lifetime; openings nest.
class NetworkOpening {
 public:
  NetworkOpening();
  ~NetworkOpening();
  NetworkOpening(const NetworkOpening&) = delete;
  NetworkOpening& operator=(const NetworkOpening&) = delete;
};

// Registers the guard for this process until the returned owner goes. Call
// inside a COM apartment. Fails when the URL session cannot be had or refuses
// the registration; documents must then not be loaded.
class UrlGuard {
 public:
  static Result<UrlGuard> install();
  UrlGuard(UrlGuard&&) noexcept = default;
  UrlGuard& operator=(UrlGuard&&) = delete;
  ~UrlGuard();

 private:
  UrlGuard() = default;
  win::ComPtr<IInternetSession> session_;  // empty once moved from
  win::ComPtr<IClassFactory> factory_;
};

}  // namespace tarnweld::xml
