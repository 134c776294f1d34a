// The reference rule of the parser documents on Windows, held where MSXML 3.0
// reads. MSXML reads every address, a local file's included, through URL
// monikers, which ask the namespace handlers registered in the process before
// any handler of the system; the guard is the namespace handler of file, http,
// https and ftp and of every other scheme the machine knows. It answers a
// built-in DTD's address from the program; lets a local file through to the
// system's file handler; lets an http, https or ftp address through only while
// a NetworkOpening that names it lives (the stylesheet tree: the stylesheet,
// then what it imports and includes); and refuses everything else at once: a
// share in any spelling (msxml_reference_rule.h), any other scheme, and every
// other network read (the source's DTDs and entities, the stylesheet's own,
// every document() address). Installing it also turns on the process's
// lock-down of the other protocols, before any document is made.
#pragma once

// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <urlmon.h>
// clang-format on

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "platform/windows/com.h"

namespace tarnweld::xml {

enum class UrlDecision {
  kServeBuiltIn,  // answered from the built-in DTDs
  kPassThrough,   // read by the system's handler
  kRefuse,        // not read
};

// What the guard does with a read of `url`, which an open NetworkOpening names
// (`admitted`) or not.
UrlDecision decideUrl(std::u16string_view url, bool admitted);

// The schemes the guard handles besides file, http, https and ftp, however
// the machine is set up: those a Windows machine may have built in. Every
// scheme registered on the machine is added to them when the guard installs.
std::span<const std::u16string_view> refusedSchemes();

// Lets exactly `urls` (http, https or ftp addresses) be read over the network
// for its lifetime; openings nest. A URL is named with its scheme and host in
// any case and its fragment left off.
class NetworkOpening {
 public:
  explicit NetworkOpening(std::vector<std::u16string> urls);
  ~NetworkOpening();
  NetworkOpening(const NetworkOpening&) = delete;
  NetworkOpening& operator=(const NetworkOpening&) = delete;

 private:
  std::vector<std::u16string> urls_;
};

// Whether an open NetworkOpening names `url`.
bool networkAdmits(std::u16string_view url);

// Registers the guard for this process until the returned owner goes. Call
// inside a COM apartment. Fails when the URL session cannot be had, refuses a
// registration, or the process's protocol lock-down cannot be set; documents
// must then not be loaded.
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
  std::vector<std::u16string> schemes_;  // registered so far
};

}  // namespace tarnweld::xml
