// tarnweld-host: a stand-in for the host editor. It decodes a document as the
// editor would, serves the host object (plugin_session.h: on Linux the host's
// bus name, on a private bus when there is no session bus), starts the
// plug-in, serves its calls, waits for it within a time limit, and reports
// what came back. See --help for the output formats and exit statuses. This
// file is the same on every platform.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
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

// The largest document served: a text of kMaxTextUnits characters takes at
// most this many bytes as UTF-8, and no encoding the editor reads takes more
// per character than UTF-8 does per UTF-16 unit (a four-byte character is
// two units). A larger file is refused before any room is made for it.
constexpr std::uint64_t kMaxDocumentBytes = std::uint64_t{kMaxTextUnits} * kMaxUtf8BytesPerUnit;

// Why a document is refused for its size; `size` when it is known.
std::string tooLargeReason(const std::string& document, std::optional<std::uint64_t> size) {
  return document + (size ? " is " + std::to_string(*size) + " bytes" : std::string(" holds more")) +
         ", more than a document the host can hold (" + std::to_string(kMaxDocumentBytes) + " bytes)";
}

// Why a document is refused for its length: the host's limit on a text.
std::string tooLongReason(const std::string& document) {
  return document + " holds more than " + std::to_string(kMaxTextUnits) +
         " UTF-16 units, more than a text the host can hold";
}

// Why a document within the limits is refused: this machine's memory.
std::string cannotHoldReason(const std::string& document) {
  return document + " is too large to hold in this machine's memory";
}

constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

// Reads up to `size` bytes into `into`; the count read (0 at the end).
std::size_t readPiece(std::istream& in, char* into, std::size_t size) {
  in.read(into, static_cast<std::streamsize>(size));
  return static_cast<std::size_t>(in.gcount());
}

// A UTF-8 document's text, from `markLength` bytes into what `head` holds
// (its first bytes, `headSize` of them, `piece` having room for kPieceBytes
// more) to the end of `in`: written into the record a piece at a time and
// checked on the way, once, so that it is held once, in the record. A text
// past the host's limit is refused as soon as the count passes it.
Result<RecordValue> takeUtf8(const std::string& document, std::istream& in, char* piece, std::size_t headSize,
                             std::size_t markLength) {
  const std::unique_ptr<SharedTextWriter> writer = newSharedTextWriter();
  std::size_t units = 0, written = 0;
  std::size_t inHand = headSize - markLength;
  std::memmove(piece, piece + markLength, inHand);
  for (bool ended = false;;) {
    const std::string_view bytes(piece, inHand);
    // A sequence the piece's end cuts short waits for the next piece.
    const std::size_t whole = ended ? bytes.size() : utf8PieceLength(bytes);
    Utf8Scan scan = scanUtf8(bytes.substr(0, whole), kMaxTextUnits - units);
    if (scan.stop == Utf8Scan::Stop::kTooLong) return fail(tooLongReason(document));
    if (scan.stop != Utf8Scan::Stop::kEnd) {
      // Placed in the whole text, which the record holds up to here.
      writer->append(bytes.substr(0, scan.end));
      const Result<RecordValue> before = writer->finish();
      scan.end += written;
      scan.utf16Units += units;
      return fail(document + ": " + utf8Refusal(before ? stringOf(*before).value_or("") : "", scan, markLength));
    }
    if (!writer->append(bytes.substr(0, whole))) return fail(cannotHoldReason(document));
    if (ended) break;
    units += scan.utf16Units;
    written += whole;
    const std::size_t kept = bytes.size() - whole;
    std::memmove(piece, bytes.data() + whole, kept);
    const std::size_t count = readPiece(in, piece + kept, kPieceBytes);
    if (in.bad()) return fail("cannot read " + document);
    ended = count == 0;
    inHand = kept + count;
  }
  return writer->finish();
}

// A document in another encoding: read whole, decoded as an editor decodes
// it, and written into the record as UTF-8.
Result<RecordValue> takeDecoded(const std::string& document, std::istream& in, char* piece, std::size_t headSize) {
  std::optional<std::string> bytes(std::in_place, piece, headSize);
  for (std::size_t count; (count = readPiece(in, piece, kPieceBytes)) > 0;) {
    // A pipe has no size to check beforehand: refused once it passes the limit.
    if (bytes->size() + count > kMaxDocumentBytes) return fail(tooLargeReason(document, std::nullopt));
    bytes->append(piece, count);
  }
  if (in.bad()) return fail("cannot read " + document);
  Result<std::u16string> decoded = decodeDocument(*bytes);
  bytes.reset();
  if (!decoded) return fail(document + ": " + decoded.reason());
  if (decoded->size() > kMaxTextUnits) return fail(tooLongReason(document));
  // The bus cannot carry NUL or unpaired surrogates; they go as U+FFFD.
  const std::string utf8 = toUtf8WithoutNul(*decoded);
  decoded->clear();
  decoded->shrink_to_fit();
  const std::unique_ptr<SharedTextWriter> writer = newSharedTextWriter();
  if (!writer->append(utf8)) return fail(cannotHoldReason(document));
  return writer->finish();
}

// The document's text as the record INPUT that the host serves. Its start
// says how it is decoded; a UTF-8 document, which the bus carries as it is,
// is never decoded, and a file larger than any text the host can hold is
// refused before any of it is read.
Result<RecordValue> readDocument(const std::string& document) {
  std::ifstream file;
  std::istream* in = &std::cin;
  if (document != kStandardInput) {
    file.open(pathOf(document), std::ios::binary);
    if (!file) return fail("cannot open " + document + ": " + strerror(errno));
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(pathOf(document), sizeError);
    if (!sizeError && size > kMaxDocumentBytes) return fail(tooLargeReason(document, size));
    in = &file;
  }
  const std::string name = document == kStandardInput ? "standard input" : document;
  // Room for a piece and the start of a sequence the piece before cut short.
  const auto piece = std::make_unique_for_overwrite<char[]>(kPieceBytes + 4);
  const std::size_t headSize = readPiece(*in, piece.get(), kPieceBytes);
  if (in->bad()) return fail("cannot read " + name);
  const std::string_view head(piece.get(), headSize);
  if (const std::optional<std::size_t> start = utf8TextStart(head)) {
    return takeUtf8(name, *in, piece.get(), headSize, *start);
  }
  return takeDecoded(name, *in, piece.get(), headSize);
}

// A document is read from a file or a FIFO (or, as -, from a pipe or a
// terminal): a directory opens as a stream on Linux and fails only on reading,
// with the library's words, and a device may never end (/dev/zero). Say it
// plainly before reading.
Status refuseUnreadable(const std::string& document) {
  if (document == kStandardInput) return platform::checkStandardInput();
  std::error_code ignored;
  switch (std::filesystem::status(pathOf(document), ignored).type()) {
    case std::filesystem::file_type::directory:
      return fail(document + " is a directory; run takes a document file");
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::socket:
      return fail(document + " is a device; run takes a document file, a FIFO, or - for standard input");
    default:
      return {};  // a file, a FIFO, or nothing there (the open says so)
  }
}

// `name` with each byte that is not part of valid UTF-8 written as \xNN, for
// a message.
std::string printable(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t bad; (bad = firstInvalidUtf8(name)) != std::string_view::npos; name.remove_prefix(bad + 1)) {
    const auto byte = static_cast<unsigned char>(name[bad]);
    text.append(name.substr(0, bad)).append("\\x").append({kHex[byte >> 4], kHex[byte & 0xF]});
  }
  return text.append(name);
}

// FILE_NAME goes on the bus, which carries UTF-8 only: a name that is not
// would reach the plug-in as a failed call, and its report would blame the
// stylesheet. Refused instead, naming it and where it goes wrong.
Status refuseNonUtf8Name(std::string_view what, const std::string& name) {
  const std::size_t bad = firstInvalidUtf8(name);
  if (bad == std::string::npos) return {};
  return fail(std::string(what) + " " + printable(name) + " is not valid UTF-8 (byte offset " + std::to_string(bad) +
              "); FILE_NAME must be UTF-8");
}

// The document's text and name as the host serves them, and where the plug-in runs.
struct ServedDocument {
  RecordValue input;     // UTF-8, as sent on the bus
  std::string fileName;  // host convention
  std::optional<std::string> directory;
};

Result<ServedDocument> prepareDocument(const Options& options) {
  ServedDocument served;
  if (options.fileName) {
    if (Status named = refuseNonUtf8Name("--file-name", *options.fileName); !named) return named.failure();
    served.fileName = *options.fileName;
  }
  if (options.document != kStandardInput) {
    const std::string path = utf8Of(std::filesystem::absolute(pathOf(options.document)).lexically_normal());
    if (!options.fileName) {
      if (Status named = refuseNonUtf8Name("the document's path", path); !named) return named.failure();
      served.fileName = toHostPath(path);
    }
    served.directory = utf8Of(pathOf(path).parent_path());
  }

  if (Status usable = refuseUnreadable(options.document); !usable) return usable.failure();
  Result<RecordValue> input = readDocument(options.document);
  if (!input) return input.failure();
  served.input = std::move(*input);
  return served;
}

void printStats(const PluginRun& outcome) {
  const double seconds = std::chrono::duration<double>(outcome.wallTime).count();
  std::fprintf(stderr, "%s: plug-in wall time %.3f s, peak RSS %ld KiB\n", kProgramName.data(), seconds,
               outcome.peakRssKiB);
}

// A document within the limit may still be more than this machine has
// memory for: refused as one that cannot be served, saying so.
Result<ServedDocument> prepareDocumentWithin(const Options& options) {
  try {
    return prepareDocument(options);
  } catch (const std::bad_alloc&) {
    return fail(cannotHoldReason(options.document));
  }
}

// Writes `bytes` to standard output and flushes them; fails, with the
// system's reason, when they cannot all be written (a full disk, a closed
// pipe, an I/O error).
Status writeOutput(std::string_view bytes) {
  errno = 0;
  std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::cout.flush();
  if (std::cout) return {};
  return fail(std::string("cannot write the output: ") + (errno ? strerror(errno) : "write error"));
}

// Closes standard output, where the last of what was written may only now
// fail (a file system that reports at close).
Status closeOutput() {
  errno = 0;
  std::cout.flush();
  const bool flushed = static_cast<bool>(std::cout) && std::fflush(stdout) == 0 && !std::ferror(stdout);
  const int flushError = errno;
  errno = 0;
  const bool closed = std::fclose(stdout) == 0;
  if (flushed && closed) return {};
  const int error = flushed ? errno : flushError;
  return fail(std::string("cannot write the output: ") + (error ? strerror(error) : "write error"));
}

int hostMain(const Options& options) {
  RecordStore store(options.command == Command::Register);
  PluginLaunch plugin;
  plugin.program = options.plugin.value_or(defaultPluginPath());
  plugin.timeout = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(options.timeoutSeconds));

  if (options.command == Command::Run) {
    Result<ServedDocument> served = prepareDocumentWithin(options);
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
  Status written;
  if (options.command == Command::Register) {
    std::string listing;
    for (const HostCall& call : store.calls()) listing.append(formatCall(call)).push_back('\n');
    written = writeOutput(listing);
    verdict = judgeRegistration(outcome->end, options.timeoutSeconds, store.calls());
  } else {
    std::optional<RecordValue> output = store.take(run_key::kOutput.ascii());
    verdict = judgeRun(outcome->end, options.timeoutSeconds, output ? &*output : nullptr,
                       store.find(run_key::kOutputMode.ascii()));
    // OUTPUT is printed whenever it arrived, exactly as received; the exit
    // status says whether the whole hand-back happened.
    if (output) {
      if (const std::optional<std::string_view> text = stringOf(*output)) {
        const bool terminal = platform::stdoutIsTerminal();
        if (outputStandsAsItIs(*text, terminal, options.rawUtf8)) {
          written = writeOutput(*text);
        } else {
          auto* own = std::get_if<std::string>(&*output);
          const std::string bytes = outputBytes(own ? std::move(*own) : std::string(*text), terminal, options.rawUtf8);
          written = writeOutput(bytes);
        }
      }
    }
  }
  if (written) written = closeOutput();
  if (options.stats) printStats(*outcome);
  if (!verdict.reason.empty()) complain(verdict.reason);
  // Whatever the plug-in did, a result that did not reach its reader is lost.
  if (!written) {
    complain(written.reason());
    return kExitOutputLost;
  }
  return verdict.exitStatus;
}

}  // namespace
}  // namespace tarnweld::host

int main(int argc, char** argv) {
  using namespace tarnweld::host;
  tarnweld::platform::openStandardStreams();
  const std::vector<std::string> arguments = programArguments(argc, argv);
  const std::vector<std::string_view> args(arguments.begin(), arguments.end());
  const tarnweld::Result<Options> parsed = parseOptions(args);
  if (!parsed) {
    complain(parsed.reason());
    std::cerr << usageText() << "Try 'tarnweld-host --help' for more.\n";
    return kExitUsage;
  }
  if (parsed->help || parsed->version) {
    tarnweld::Status written = writeOutput(parsed->help ? helpText() : versionText());
    if (written) written = closeOutput();
    if (written) return kExitSuccess;
    complain(written.reason());
    return kExitOutputLost;
  }
  try {
    return hostMain(*parsed);
  } catch (const std::exception& e) {
    complain(e.what());
    return kExitSetup;
  }
}
