// The Windows process's command line, split as the C runtime splits it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnweld::win {

// Splits a command line the way the C runtime and CommandLineToArgvW do.
// An empty `commandLine` gives the exe's own path, as CommandLineToArgvW does.
std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine);

// This process's arguments, the program first, from GetCommandLineW.
std::vector<std::u16string> commandLineArgs();

}  // namespace tarnweld::win
