// The run driver: one transformation of the document open in the host
// editor, from the record "INPUT" to the records "OUTPUT" and "MODE_OUTPUT".
#pragma once

#include <cstdint>
#include <string_view>

#include "core/backends.h"
#include "core/names.h"
#include "run/run_context.h"

namespace tarnweld {

inline constexpr auto kEmptyInputMessage = kReportPrefix + "Empty XML File Provided!";

// Creates the host session, reads the document, finds its stylesheet,
// transforms and hands the output text back. Every object it creates is
// stored in `context` for the entry procedure to release.
void runTransformation(RunContext& context, Backends backends);

}  // namespace tarnweld
