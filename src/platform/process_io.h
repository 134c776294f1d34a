// What the stand-in and the plug-in ask of their own process, and of a child
// that ended.
#pragma once

#include <string>

#include "core/result.h"

namespace tarnweld::platform {

// Opens the null device on each of standard input, output and error that is
// closed, so that nothing the process makes later (a bus, a memory file)
// takes one of their numbers and is handed to a child as its own stream.
// Called before anything else is made. Nothing to do on Windows, whose C
// runtime gives a process without standard streams ones that fail
// harmlessly, and none of whose handles can take their place.
void openStandardStreams();

// Points standard output and error at the null device. The plug-in's only
// voice is what it hands to the host, and some library paths (a debug dump
// of a node, a message printed where no handler is set) write to stderr
// directly, into the host's terminal or log. On Windows the standard input
// goes there too, and the process's standard handles as well as the C
// runtime's streams: a GUI program has no console, but it inherits the
// handles its starter gives it, and Wine's parser (libxslt) writes its
// diagnostics and messages to them.
void silenceStandardOutput();

// Fails, saying why, when standard input is nothing a document is read from:
// a file, a pipe or a terminal may be; a device such as /dev/zero may not.
Status checkStandardInput();

// Whether the process's standard output is a terminal.
bool stdoutIsTerminal();

// The name and description of signal `code` (" (SIGABRT, Aborted)"), or
// nothing where there are no signals (Windows, whose crashed children exit
// with their exception code instead).
std::string describeSignal(int code);

}  // namespace tarnweld::platform
