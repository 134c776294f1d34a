// modMain: the entry procedure. Reads the argument text, picks registration,
// a transformation run, or nothing, and releases what the chosen mode created.
#pragma once

#include <string_view>

#include "text/text.h"

#include "core/backends.h"

namespace tarnweld::modMain {

// Runs the program for `argumentText`, everything after the program's own
// name. Returns normally in every mode.
void entry(TextView argumentText, Backends backends);

}  // namespace tarnweld::modMain
