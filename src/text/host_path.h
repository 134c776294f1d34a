// The host editor's path convention, where "\" separates directories, and
// the POSIX one, where "/" does. Pure text: nothing is looked up on disk.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace tarnweld {

// Whether `location` starts with a URI scheme ("http:", "file:"). A single
// letter before the colon is a drive letter, not a scheme.
bool hasUriScheme(std::u16string_view location);
bool hasUriScheme(std::string_view location);

// A POSIX path in the host's convention: "/home/u/doc.xml" becomes
// "\home\u\doc.xml".
std::string toHostPath(std::string_view posixPath);

// A path in the host's convention as a POSIX path. A URI is left as it is.
Text fromHostPath(TextView hostPath);

}  // namespace tarnweld
