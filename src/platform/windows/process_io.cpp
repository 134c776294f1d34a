#include "platform/process_io.h"

#include <io.h>

#include <cstdio>

namespace tarnweld::platform {

void openStandardStreams() {}

void silenceStandardOutput() {}

Status checkStandardInput() { return {}; }

bool stdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

std::string describeSignal(int) { return {}; }

}  // namespace tarnweld::platform
