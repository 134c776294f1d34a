#include "platform/process_io.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace tarnweld::platform {

void openStandardStreams() {}

void silenceStandardOutput() {
  // The null device becomes the process's standard input, output and error,
  // which own the handle until the process ends: a DLL loaded later (the
  // parser's C runtime) takes its streams from them. The C runtime's own
  // streams, made before main, are pointed at it too.
  const HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (nul != INVALID_HANDLE_VALUE) {
    SetStdHandle(STD_INPUT_HANDLE, nul);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    SetStdHandle(STD_ERROR_HANDLE, nul);
  }
  static_cast<void>(std::freopen("NUL", "r", stdin));
  static_cast<void>(std::freopen("NUL", "w", stdout));
  static_cast<void>(std::freopen("NUL", "w", stderr));
}

Status checkStandardInput() { return {}; }

bool stdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

std::string describeSignal(int) { return {}; }

}  // namespace tarnweld::platform
