// Small facts about the Windows process: its command line, where its exe
// lives, and whether it runs under Wine.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnweld::win {

// Splits a command line the way the C runtime and CommandLineToArgvW do.
// An empty `commandLine` gives the exe's own path, as CommandLineToArgvW does.
std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine);

// This process's arguments, the program first, from GetCommandLineW.
std::vector<std::u16string> commandLineArgs();

// The directory of this process's exe, with a trailing "\".
std::u16string exeDirectory();

// Wine's version ("8.0") when this process runs under Wine, else nothing.
std::optional<std::string> wineVersion();

}  // namespace tarnweld::win
