// The command line of tarnweld-host: what to do (register or run), with which
// plug-in, for how long, and which host calls to refuse. Parsing is a pure
// function of the arguments; the usage text is defined once here.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace tarnweld::host {

enum class Command { Register, Run };

// One --reject rule: the operation, and optionally the key (the first
// argument) it must carry to be refused.
struct RejectRule {
  std::string operation;
  std::optional<std::string> key;
};

inline constexpr double kDefaultTimeoutSeconds = 60;
// A document argument of "-" reads the document from standard input.
inline constexpr std::string_view kStandardInput = "-";

struct Options {
  Command command = Command::Run;
  std::string document;               // run only; kStandardInput for stdin
  std::optional<std::string> plugin;  // default: defaultPluginPath()
  double timeoutSeconds = kDefaultTimeoutSeconds;
  std::optional<std::string> fileName;  // FILE_NAME served verbatim
  std::vector<RejectRule> rejects;
  bool stats = false;
  bool rawUtf8 = false;  // write OUTPUT as UTF-8 whatever encoding it names
  bool help = false;
  bool version = false;
};

// Parses the arguments after the program name: the options, or why they are
// unusable. "--help" anywhere wins, then "--version".
Result<Options> parseOptions(std::span<const std::string_view> args);

// True when `rule` refuses the call `operation` whose first argument is `key`.
bool rejects(const RejectRule& rule, std::string_view operation, std::string_view key);

// The full --help text; its first lines are the usage message for bad usage.
std::string_view usageText();
std::string_view helpText();
// "tarnweld-host VERSION" and a line break, VERSION the project's.
std::string versionText();

}  // namespace tarnweld::host
