// What the Windows tests share: the programs beside the test exe, the
// repository's files under their Windows path, and running a program to its
// end with its output captured.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace tarnweld::test {

// `name` in the directory of the test exe, where the build puts every program.
std::u16string programPath(std::u16string_view name);

// `relative` (with "/") in the source tree, as a Windows path. The tests run
// under Wine, which shows the Linux root as drive Z:.
std::u16string sourcePath(std::string_view relative);

struct ProcessEnd {
  std::optional<DWORD> exitCode;  // nothing: not started, or still running after the limit
  std::string output;             // what it wrote to stdout
  std::string errors;             // what it wrote to stderr
  double seconds = 0;
};

// Runs `commandLine` with stdout and stderr captured, stdin empty, and waits
// at most `limitMs` for it to end.
ProcessEnd runProcess(std::u16string commandLine, DWORD limitMs = 30'000);

// True under Wine, whose msxml3 and COM differ from Windows' in the ways the
// skipped tests name.
bool underWine();

}  // namespace tarnweld::test
