// modMain: the entry procedure. Reads the argument text, picks registration,
// a transformation run, or nothing, and releases what the chosen mode created.
#pragma once

#include <string_view>

#include "main/run_context.h"

namespace tarnweld::modMain {

// The command-line switches the host editor starts the program with. They are
// matched whole and case-sensitively: "/HKPRUN" or "/hkprun " selects nothing.
inline constexpr std::u16string_view kRegisterSwitch = u"/hkpreg";
inline constexpr std::u16string_view kRunSwitch = u"/hkprun";

// Runs the program for `argumentText`, everything after the program's own
// name. Returns normally in every mode.
void entry(std::u16string_view argumentText, Backends backends);

}  // namespace tarnweld::modMain
