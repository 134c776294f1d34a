#include "win_test_support.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/windows/com.h"
#include "platform/windows/handle.h"
#include "platform/windows/process_facts.h"
#include "text/utf.h"

namespace tarnweld::test {

std::u16string programPath(std::u16string_view name) { return win::exeDirectory() + std::u16string(name); }

std::u16string sourcePath(std::string_view relative) {
  std::u16string path = u"Z:" + fromUtf8Lenient(TARNWELD_SOURCE_DIR) + u"/" + fromUtf8Lenient(relative);
  std::ranges::replace(path, u'/', u'\\');
  return path;
}

bool underWine() { return win::wineVersion().has_value(); }

namespace {

// One end of a child's output: the child inherits the write end; the read
// end is drained on a thread of its own, so that a child that writes more
// than the pipe holds cannot block while the caller waits for it to end.
struct Capture {
  win::Handle read, write;

  bool open(SECURITY_ATTRIBUTES& inheritable) {
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inheritable, 0)) return false;
    read = win::Handle(readRaw);
    write = win::Handle(writeRaw);
    return SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0) != 0;
  }

  std::thread drainInto(std::string& text) {
    write = win::Handle();  // the child holds the only write end now: reading ends when it does
    return std::thread([this, &text] {
      char buffer[4096];
      DWORD got = 0;
      while (ReadFile(read.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    });
  }
};

}  // namespace

ProcessEnd runProcess(std::u16string commandLine, DWORD limitMs) {
  ProcessEnd end;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Capture out, err;
  if (!out.open(inheritable) || !err.open(inheritable)) return end;
  const win::Handle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul.get();
  startup.hStdOutput = out.write.get();
  startup.hStdError = err.write.get();
  PROCESS_INFORMATION info{};
  const auto started = std::chrono::steady_clock::now();
  if (!CreateProcessW(nullptr, win::wide(commandLine.data()), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &info))
    return end;
  const win::Handle process(info.hProcess), thread(info.hThread);
  std::thread outReader = out.drainInto(end.output);
  std::thread errReader = err.drainInto(end.errors);
  if (WaitForSingleObject(process.get(), limitMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), INFINITE);
  } else {
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code)) end.exitCode = code;
  }
  outReader.join();
  errReader.join();
  end.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return end;
}

}  // namespace tarnweld::test
