#include "win/platform.h"

// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <memory>

#include "win/com.h"

namespace tarnweld::win {
namespace {

struct LocalFreeDeleter {
  void operator()(void* p) const { LocalFree(p); }
};

}  // namespace

std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine) {
  const std::u16string line(commandLine);  // CommandLineToArgvW wants a terminated string
  int count = 0;
  const std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(CommandLineToArgvW(wide(line.c_str()), &count));
  std::vector<std::u16string> args;
  if (!argv) return args;
  args.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) args.emplace_back(u16(argv.get()[i]));
  return args;
}

std::vector<std::u16string> commandLineArgs() { return splitCommandLine(u16(GetCommandLineW())); }

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
