// The process entry: joins the command-line arguments into the argument text
// and runs the entry procedure with the platform's backends. The program
// writes nothing to stdout or stderr and sets no exit status of its own.
#ifdef TARNWELD_MIMALLOC
#include <mimalloc.h>
#elif __has_include(<malloc.h>)
#include <malloc.h>
#endif

#include <unistd.h>

#include <string>

#include "main/make_backends.h"
#include "main/mod_main.h"
#include "platform/process_io.h"
#include "text/text.h"

int main(int argc, char** argv) {
#ifndef TARNWELD_SANITIZE
  // The sanitizer build keeps stderr: its reports are how a fault shows.
  tarnweld::platform::silenceStandardOutput();
#endif
#ifdef TARNWELD_MIMALLOC
  // mimalloc replaces malloc for the whole process (see CMakeLists.txt); this
  // call also keeps the library linked where unused libraries are dropped.
  // Its defaults stand: freed pages are kept a moment for reuse, which a
  // transformation that builds and drops large strings (xsl:value-of of a
  // long text) needs, or it faults the same memory in again for each one.
  static_cast<void>(mi_version());
#elif defined(M_MMAP_THRESHOLD)
  // A document's texts run to tens of megabytes and its tree to millions of
  // small blocks. Large blocks are mapped and unmapped directly, and small
  // ones skip the fast bins, which every large allocation or free would
  // otherwise sweep together first: a quarter of a large run's time.
  constexpr int kLargeBlockBytes = 1 << 20;
  mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes);
  mallopt(M_MXFAST, 0);
#endif
  // Every step already contains its own failures; this only keeps anything
  // thrown outside a step (memory running out while the arguments are joined
  // or the backends made) from ending the process with a message on stderr.
  try {
    // Arguments handed over one by one are joined with one space, so the
    // argument text is everything after the program's own name.
    std::string arguments;
    for (int i = 1; i < argc; ++i) {
      if (i > 1) arguments.push_back(' ');
      arguments.append(argv[i]);
    }
    const tarnweld::Text argumentText = tarnweld::textFromUtf8(arguments);
    const tarnweld::PlatformBackends backends = tarnweld::makePlatformBackends();
    tarnweld::modMain::entry(argumentText, backends.view());
  } catch (...) {
  }
#ifndef TARNWELD_SANITIZE
  // The run has handed back its result and released the host session, and
  // nothing waits in a stdio buffer: the libraries' exit handlers would only
  // tear down caches while the host waits for the process to end. The
  // sanitizer build returns, so that its leak check runs.
  _exit(0);
#endif
  return 0;
}
