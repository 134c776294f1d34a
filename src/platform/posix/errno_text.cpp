#include "platform/posix/errno_text.h"

#include <string.h>

namespace tarnweld::posix {

std::string errnoText(int error) {
  // The GNU strerror_r: it returns the text, in `buffer` or a static one,
  // where strerror may share one buffer between threads.
  char buffer[256];
  return strerror_r(error < 0 ? -error : error, buffer, sizeof buffer);
}

}  // namespace tarnweld::posix
