// The text of an errno value, for a reason a report or a message carries.
// Every OS failure on Linux is named through it, so each reads the same.
#pragma once

#include <string>

namespace tarnweld::posix {

// The C library's text for `error` ("No such file or directory"). A negative
// value is read as its opposite, as sd-bus and the kernel's calls return an
// error. Safe from any thread.
std::string errnoText(int error);

}  // namespace tarnweld::posix
