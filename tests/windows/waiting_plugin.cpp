// A plug-in that never answers, for the test that kills a stand-in while it
// serves: it signals the test's event that it has started (the stand-in's
// class is on offer by then), then waits for the stand-in that started it
// to end, and ends.
// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include "platform/windows/handle.h"

namespace {

constexpr DWORD kLongestWaitMs = 120'000;

DWORD parentProcessId() {
  const tarnweld::win::Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
  }
  return 0;
}

}  // namespace

int main() {
  const tarnweld::win::Handle parent(OpenProcess(SYNCHRONIZE, FALSE, parentProcessId()));
  const tarnweld::win::Handle started(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\tarnweld-test plug-in started"));
  if (started) SetEvent(started.get());
  if (parent) WaitForSingleObject(parent.get(), kLongestWaitMs);
  return 0;
}
