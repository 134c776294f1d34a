// tarnweld-host: a stand-in for the host editor. It decodes a document as the
// editor would, serves the host object (plugin_session.h: on Linux the host's
// bus name, on a private bus when there is no session bus), starts the
// plug-in, serves its calls, waits for it within a time limit, and reports
// what came back. See --help for the output formats and exit statuses. This
// file is the same on every platform.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <vector>

#include "core/names.h"
#include "document_text.h"
#include "host_options.h"
#include "host_records.h"
#include "platform/process_io.h"
#include "plugin_session.h"
#include "text/host_path.h"
#include "text/utf.h"
#include "verdicts.h"

namespace tarnweld::host {
namespace {

constexpr std::string_view kProgramName = "tarnweld-host";

void complain(std::string_view message) { std::cerr << kProgramName << ": " << message << '\n'; }

// Names and paths are UTF-8 here on every platform; the file system gets them
// as paths, so that Windows does not read them in its ANSI code page.
std::filesystem::path pathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }
std::string utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

Result<std::string> readBytes(const std::string& document) {
  std::string bytes;
  if (document == kStandardInput) {
    bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (std::cin.bad()) return fail("cannot read standard input");
  } else {
    std::ifstream file(pathOf(document), std::ios::binary);
    if (!file) return fail("cannot open " + document + ": " + strerror(errno));
    // Read in one piece: a document may run to tens of megabytes.
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(pathOf(document), sizeError);
    if (!sizeError) {
      bytes.resize(size);
      file.read(bytes.data(), static_cast<std::streamsize>(size));
      bytes.resize(static_cast<std::size_t>(file.gcount()));
    }
    // Whatever the size did not cover (a pipe, a growing file) follows.
    bytes.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) return fail("cannot read " + document);
  }
  return bytes;
}

// A directory opens as a stream on Linux and fails only on reading, with
// the library's words; say it plainly before reading.
Status refuseDirectory(const std::string& document) {
  std::error_code ignored;
  if (document == kStandardInput || !std::filesystem::is_directory(pathOf(document), ignored)) return {};
  return fail(document + " is a directory; run takes a document file");
}

// The document's text and name as the host serves them, and where the plug-in runs.
struct ServedDocument {
  std::string input;     // UTF-8, as sent on the bus
  std::string fileName;  // host convention
  std::optional<std::string> directory;
};

Result<ServedDocument> prepareDocument(const Options& options) {
  if (Status usable = refuseDirectory(options.document); !usable) return usable.failure();
  Result<std::string> read = readBytes(options.document);
  if (!read) return read.failure();
  std::optional<std::string> bytes = std::move(*read);

  ServedDocument served;
  if (const std::optional<std::string_view> utf8 = utf8TextOf(*bytes)) {
    // Already what the bus carries: served as read, with no round trip
    // through UTF-16.
    if (utf8->size() == bytes->size()) {
      served.input = std::move(*bytes);
    } else {
      served.input = *utf8;
    }
  } else {
    Result<std::u16string> decoded = decodeDocument(*bytes);
    bytes.reset();
    if (!decoded) return fail(options.document + ": " + decoded.reason());
    // The bus cannot carry NUL or unpaired surrogates; they go as U+FFFD.
    served.input = toUtf8WithoutNul(*decoded);
  }

  if (options.document != kStandardInput) {
    const auto path = std::filesystem::absolute(pathOf(options.document)).lexically_normal();
    served.fileName = toHostPath(utf8Of(path));
    served.directory = utf8Of(path.parent_path());
  }
  if (options.fileName) served.fileName = *options.fileName;
  return served;
}

void printStats(const PluginRun& outcome) {
  const double seconds = std::chrono::duration<double>(outcome.wallTime).count();
  std::fprintf(stderr, "%s: plug-in wall time %.3f s, peak RSS %ld KiB\n", kProgramName.data(), seconds,
               outcome.peakRssKiB);
}

int hostMain(const Options& options) {
  RecordStore store(options.command == Command::Register);
  PluginLaunch plugin;
  plugin.program = options.plugin.value_or(defaultPluginPath());
  plugin.timeout = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(options.timeoutSeconds));

  if (options.command == Command::Run) {
    Result<ServedDocument> served = prepareDocument(options);
    if (!served) {
      complain(served.reason());
      return kExitUsage;
    }
    store.add(std::string(run_key::kInput.ascii()), std::move(served->input));
    store.add(std::string(run_key::kFileName.ascii()), std::move(served->fileName));
    plugin.directory = served->directory;
    plugin.switchText = kRunSwitch.ascii();
  } else {
    plugin.switchText = kRegisterSwitch.ascii();
  }

  const Result<PluginRun> outcome = runPlugin(plugin, store, options.rejects);
  if (!outcome) {
    complain(outcome.reason());
    return kExitSetup;
  }

  Verdict verdict;
  if (options.command == Command::Register) {
    for (const HostCall& call : store.calls()) std::cout << formatCall(call) << '\n';
    std::cout.flush();
    verdict = judgeRegistration(outcome->end, options.timeoutSeconds);
  } else {
    std::optional<RecordValue> output = store.take(run_key::kOutput.ascii());
    verdict = judgeRun(outcome->end, options.timeoutSeconds, output ? &*output : nullptr,
                       store.find(run_key::kOutputMode.ascii()));
    // OUTPUT is printed whenever it arrived, exactly as received; the exit
    // status says whether the whole hand-back happened.
    if (output) {
      if (auto* text = std::get_if<std::string>(&*output)) {
        const std::string bytes = outputBytes(std::move(*text), platform::stdoutIsTerminal(), options.rawUtf8);
        std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
      }
    }
  }
  if (options.stats) printStats(*outcome);
  if (!verdict.reason.empty()) complain(verdict.reason);
  return verdict.exitStatus;
}

}  // namespace
}  // namespace tarnweld::host

int main(int argc, char** argv) {
  using namespace tarnweld::host;
  const std::vector<std::string> arguments = programArguments(argc, argv);
  const std::vector<std::string_view> args(arguments.begin(), arguments.end());
  const tarnweld::Result<Options> parsed = parseOptions(args);
  if (!parsed) {
    complain(parsed.reason());
    std::cerr << usageText() << "Try 'tarnweld-host --help' for more.\n";
    return kExitUsage;
  }
  if (parsed->help) {
    std::cout << helpText();
    return kExitSuccess;
  }
  if (parsed->version) {
    std::cout << versionText();
    return kExitSuccess;
  }
  try {
    return hostMain(*parsed);
  } catch (const std::exception& e) {
    complain(e.what());
    return kExitSetup;
  }
}
