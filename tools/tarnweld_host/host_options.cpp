#include "host_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "core/names.h"
#include "exit_status.h"

namespace tarnweld::host {
namespace {

constexpr std::array<std::string_view, 4> kOperations{host_op::kDataSetGlobalSuffix.ascii(), host_op::kDataAdd.ascii(),
                                                      host_op::kDataAddInt.ascii(), host_op::kDataGet.ascii()};
// A day: longer is surely a typing slip, and it keeps the wait representable.
constexpr double kMaxTimeoutSeconds = 86400;

constexpr std::string_view kUsage =
    "usage: tarnweld-host [OPTIONS] register\n"
    "       tarnweld-host [OPTIONS] run DOCUMENT\n";

// The help text names the switches, operations and records by their shared
// names (core/names.h), so it cannot drift from what is served.
std::string composeHelp() {
  const std::string registerSwitch(kRegisterSwitch.ascii()), runSwitch(kRunSwitch.ascii());
  const std::string suffixOp(host_op::kDataSetGlobalSuffix.ascii()), addOp(host_op::kDataAdd.ascii()),
      addIntOp(host_op::kDataAddInt.ascii()), getOp(host_op::kDataGet.ascii());
  const std::string input(run_key::kInput.ascii()), fileName(run_key::kFileName.ascii()),
      output(run_key::kOutput.ascii()), outputMode(run_key::kOutputMode.ascii());
  return std::string(kUsage) +
         "\n"
         "Stands in for the host editor: owns " +
         std::string(kPluginsCoreProgId.ascii()) +
         " on the session\n"
         "bus, serves the plug-in's host calls, starts the plug-in and reports.\n"
         "Without DBUS_SESSION_BUS_ADDRESS, or when the bus it names cannot be\n"
         "reached, it runs a private dbus-daemon for its own lifetime and gives the\n"
         "plug-in that bus.\n"
         "\n"
         "register       start the plug-in with " +
         registerSwitch +
         " and print every host call it\n"
         "               made, in order, one a line:\n"
         "                 (suffix \"_1\")             " +
         suffixOp +
         "\n"
         "                 NAME_1 = \"Tarnweld\"       a string record, key as stored\n"
         "                 MODE_SHOW_STATUS_1 = 1 (int16)   an int16 record\n"
         "                 (get \"KEY\")               " +
         getOp +
         "\n"
         "               A refused call ends in \" (rejected)\". Strings are quoted with\n"
         "               \\\\ \\\" \\r \\n \\t and \\u00XX escapes.\n"
         "run DOCUMENT   decode DOCUMENT as an editor would (byte-order mark, else the\n"
         "               XML declaration's encoding, else UTF-8), serve it as " +
         input +
         " and\n"
         "               its absolute path with \"\\\" separators as " +
         fileName +
         ", start the\n"
         "               plug-in with " +
         runSwitch +
         " in the document's directory, and print\n"
         "               " +
         output +
         " to stdout. DOCUMENT \"-\" reads standard input;\n"
         "               " +
         fileName +
         " is then --file-name or empty, and\n"
         "               the plug-in runs in the current directory. A device is\n"
         "               refused, and so is a path or --file-name that is not UTF-8,\n"
         "               and a document whose text is longer than the host's limit\n"
         "               of 2,147,483,647 UTF-16 units (at once when the file is\n"
         "               larger than 6,442,450,941 bytes, else as soon as its count\n"
         "               passes the limit), with status 2.\n"
         "               Into a file or pipe, " +
         output +
         " is written in the encoding its XML\n"
         "               declaration or HTML meta charset names (UTF-8 when it names\n"
         "               none, or one that cannot hold all of its characters); on a\n"
         "               terminal it is UTF-8 and ends with a line break.\n"
         "\n"
         "options:\n"
         "  --plugin PATH        the plug-in to start (default: tarnweld beside this program;\n"
         "                       installed on Linux, ../lib/tarnweld/tarnweld from it)\n"
         "  --timeout SECONDS    kill the plug-in after this long (default 60)\n"
         "  --file-name TEXT     serve TEXT as " +
         fileName +
         ", verbatim\n"
         "  --reject OP[:KEY]    answer the operation OP (with first argument KEY) with a\n"
         "                       D-Bus error; may be repeated. OP is " +
         suffixOp +
         ",\n"
         "                       " +
         addOp + ", " + addIntOp + " or " + getOp +
         "\n"
         "  --stats              print the plug-in's wall time and peak RSS to stderr\n"
         "  --raw-utf8           write " +
         output +
         " as UTF-8 bytes, exactly as received\n"
         "  --version            print the version\n"
         "  --help               print this text\n"
         "\n"
         "exit status: 0 the plug-in ran and handed back what it must (register: a\nrecord; run: " +
         output + " and " + outputMode + " " + std::to_string(kOutputMode) +
         "); 1 it crashed, timed out, failed or handed back too little (one\n"
         "line on stderr says which; " +
         output +
         " is still printed when it arrived); 2 bad\n"
         "usage or a document that cannot be served; 3 no bus, name or plug-in to work with;\n"
         "4 the plug-in handed back an error report (" +
         output + " starts with \"" + std::string(kReportStart) +
         "\";\nit is printed all the same); 5 the output could not all be written (a full disk,\n"
         "a closed pipe, an I/O error: stderr says which), whatever the plug-in did.\n";
}

std::optional<double> parseSeconds(std::string_view text) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value <= 0 ||
      value > kMaxTimeoutSeconds) {
    return std::nullopt;
  }
  return value;
}

std::optional<RejectRule> parseRejectRule(std::string_view text) {
  RejectRule rule;
  const std::size_t colon = text.find(':');
  rule.operation = std::string(text.substr(0, colon));
  if (colon != std::string_view::npos) rule.key = std::string(text.substr(colon + 1));
  if (std::find(kOperations.begin(), kOperations.end(), rule.operation) == kOperations.end()) return std::nullopt;
  return rule;
}

}  // namespace

Result<Options> parseOptions(std::span<const std::string_view> args) {
  Options options;
  std::vector<std::string_view> positional;
  bool optionsEnded = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (optionsEnded || arg == kStandardInput || !arg.starts_with("--")) {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help") {
      Options help;
      help.help = true;
      return help;
    }
    if (arg == "--version") {
      options.version = true;
      continue;
    }
    if (arg == "--stats") {
      options.stats = true;
      continue;
    }
    if (arg == "--raw-utf8") {
      options.rawUtf8 = true;
      continue;
    }

    // Options with a value take it as "--name=value" or as the next argument.
    std::string_view name = arg;
    std::optional<std::string_view> value;
    if (const std::size_t equals = arg.find('='); equals != std::string_view::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    if (name != "--plugin" && name != "--timeout" && name != "--file-name" && name != "--reject") {
      return fail("unknown option " + std::string(name));
    }
    if (!value) {
      if (i + 1 == args.size()) return fail(std::string(name) + " needs a value");
      value = args[++i];
    }

    if (name == "--plugin") {
      if (value->empty()) return fail("--plugin needs a path");
      options.plugin = std::string(*value);
    } else if (name == "--timeout") {
      const auto seconds = parseSeconds(*value);
      if (!seconds) return fail("--timeout needs a number of seconds above 0, got \"" + std::string(*value) + "\"");
      options.timeoutSeconds = *seconds;
    } else if (name == "--file-name") {
      options.fileName = std::string(*value);
    } else {
      auto rule = parseRejectRule(*value);
      if (!rule) return fail("--reject needs a host operation, got \"" + std::string(*value) + "\"");
      options.rejects.push_back(std::move(*rule));
    }
  }

  if (options.version) return options;
  if (positional.empty()) return fail("no command given");
  if (positional[0] == "register") {
    if (positional.size() != 1) return fail("register takes no document");
    options.command = Command::Register;
  } else if (positional[0] == "run") {
    if (positional.size() != 2) return fail("run takes exactly one document");
    options.command = Command::Run;
    options.document = std::string(positional[1]);
    if (options.document.empty()) return fail("the document path is empty");
  } else {
    return fail("unknown command " + std::string(positional[0]));
  }
  return options;
}

bool rejects(const RejectRule& rule, std::string_view operation, std::string_view key) {
  return rule.operation == operation && (!rule.key || *rule.key == key);
}

std::string_view usageText() { return kUsage; }
std::string versionText() { return "tarnweld-host " TARNWELD_VERSION "\n"; }
std::string_view helpText() {
  static const std::string help = composeHelp();
  return help;
}

}  // namespace tarnweld::host
