#include "win_test_support.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "text/utf.h"
#include "win/com.h"
#include "win/handle.h"
#include "win/platform.h"

namespace tarnweld::test {

std::u16string programPath(std::u16string_view name) { return win::exeDirectory() + std::u16string(name); }

std::u16string sourcePath(std::string_view relative) {
  std::u16string path = u"Z:" + fromUtf8Lenient(TARNWELD_SOURCE_DIR) + u"/" + fromUtf8Lenient(relative);
  std::ranges::replace(path, u'/', u'\\');
  return path;
}

bool underWine() { return win::wineVersion().has_value(); }

ProcessEnd runProcess(std::u16string commandLine, DWORD limitMs) {
  ProcessEnd end;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readRaw = nullptr, writeRaw = nullptr;
  if (!CreatePipe(&readRaw, &writeRaw, &inheritable, 0)) return end;
  const win::Handle readEnd(readRaw);
  win::Handle writeEnd(writeRaw);
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
  const win::Handle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul.get();
  startup.hStdOutput = writeEnd.get();
  startup.hStdError = nul.get();
  PROCESS_INFORMATION info{};
  const auto started = std::chrono::steady_clock::now();
  if (!CreateProcessW(nullptr, win::wide(commandLine.data()), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &info))
    return end;
  const win::Handle process(info.hProcess), thread(info.hThread);
  writeEnd = win::Handle();  // the child holds the only write end now: reading ends when it does

  // Read on a thread of its own, so that a child that writes more than the
  // pipe holds cannot block while this thread waits for it to end.
  std::thread reader([&] {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) end.output.append(buffer, got);
  });
  if (WaitForSingleObject(process.get(), limitMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), INFINITE);
  } else {
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code)) end.exitCode = code;
  }
  reader.join();
  end.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return end;
}

}  // namespace tarnweld::test
