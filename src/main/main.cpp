// The process entry: joins the command-line arguments into the argument text
// and runs the entry procedure with the platform's backends. The program
// writes nothing to stdout or stderr and sets no exit status of its own.
#include <string>

#include "host/dbus_automation.h"
#include "main/mod_main.h"
#include "text/utf.h"
#include "xml/libxml_parser.h"

int main(int argc, char** argv) {
  // Arguments handed over one by one are joined with one space, so the
  // argument text is everything after the program's own name.
  std::string arguments;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) arguments.push_back(' ');
    arguments.append(argv[i]);
  }
  const std::u16string argumentText = tarnweld::fromUtf8Lenient(arguments);

  const auto automation = tarnweld::makeDbusAutomationBackend();
  const auto parser = tarnweld::xml::makeLibxmlParser();
  tarnweld::modMain::entry(argumentText, {*automation, *parser});
  return 0;
}
