#include "platform/windows/process_facts.h"

#include <windows.h>

#include "platform/windows/com.h"

namespace tarnweld::win {

std::u16string exeDirectory() {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, wide(path.data()), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(u"\\/") + 1);
}

std::optional<std::string> wineVersion() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return std::nullopt;
  using GetVersionFn = const char*(__cdecl*)();
  // Through void* so that the cast between function types is not flagged.
  const auto fn = reinterpret_cast<GetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
  if (!fn) return std::nullopt;
  return std::string(fn());
}

}  // namespace tarnweld::win
