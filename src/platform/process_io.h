// What the stand-in asks of its own process and of a child that ended.
#pragma once

#include <string>

namespace tarnweld::platform {

// Whether the process's standard output is a terminal.
bool stdoutIsTerminal();

// The name and description of signal `code` (" (SIGABRT, Aborted)"), or
// nothing where there are no signals (Windows, whose crashed children exit
// with their exception code instead).
std::string describeSignal(int code);

}  // namespace tarnweld::platform
