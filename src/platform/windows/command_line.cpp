#include "platform/windows/command_line.h"

// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <memory>

#include "platform/windows/com.h"

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

}  // namespace tarnweld::win
