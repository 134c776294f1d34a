// The process entry on Windows: sends its standard streams to the null
// device from its first line, then enters a COM apartment before anything else,
// takes the argument text from the wide command line and runs the entry
// procedure with the platform's backends. The apartment is made first and
// left last, after every COM object of the run has been released. The
// program is built for the GUI subsystem, so it has no console and opens no
// window; it writes nothing (what a library writes goes to the null device)
// and sets no exit status of its own.
#include <windows.h>

#include <string>
#include <vector>

#include "main/make_backends.h"
#include "main/mod_main.h"
#include "platform/process_io.h"
#include "platform/windows/com.h"
#include "platform/windows/command_line.h"

int main() {
  tarnweld::platform::silenceStandardOutput();
  const tarnweld::win::ComApartment apartment(COINIT_APARTMENTTHREADED);
  // Every step already contains its own failures; this only keeps anything
  // thrown outside a step (memory running out while the arguments are joined
  // or the backends made) from ending the process abnormally.
  try {
    // Arguments handed over one by one are joined with one space, so the
    // argument text is everything after the program's own name.
    std::u16string argumentText;
    const std::vector<std::u16string> args = tarnweld::win::commandLineArgs();
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (i > 1) argumentText.push_back(u' ');
      argumentText.append(args[i]);
    }
    const tarnweld::PlatformBackends backends = tarnweld::makePlatformBackends();
    tarnweld::modMain::entry(argumentText, backends.view());
  } catch (...) {
  }
  return 0;
}
