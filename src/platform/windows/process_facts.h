// Facts about the Windows process that the tools and the tests need and the
// plug-in does not: where its exe lives, and whether it runs under Wine.
#pragma once

#include <optional>
#include <string>

namespace tarnweld::win {

// The directory of this process's exe, with a trailing "\".
std::u16string exeDirectory();

// Wine's version ("8.0") when this process runs under Wine, else nothing.
std::optional<std::string> wineVersion();

}  // namespace tarnweld::win
