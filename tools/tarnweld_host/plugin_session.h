// Serving the host object and running the plug-in against it: the one part of
// the host stand-in that depends on the platform. On Linux the object is
// served on the session bus (dbus/); the options, the decoding, the records,
// the verdicts and the printing are the same on every platform.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/result.h"
#include "host_options.h"
#include "host_records.h"
#include "verdicts.h"

namespace tarnweld::host {

struct PluginLaunch {
  std::string program;                   // the plug-in's path
  std::string switchText;                // its one argument: the register or run switch
  std::optional<std::string> directory;  // where it runs; nothing: the current directory
  std::chrono::steady_clock::duration timeout{};
};

// What became of the plug-in.
struct PluginRun {
  PluginEnd end;
  std::chrono::steady_clock::duration wallTime{};
  long peakRssKiB = 0;
};

// Serves the host object, answering from and recording into `store` and
// refusing the calls that match `rejects`; starts the plug-in, waits for it
// (killing it past its timeout) and stops serving, so that afterwards `store`
// holds everything the plug-in handed over and may be read without a lock.
// Fails, saying why, when the object cannot be served or the plug-in not
// started.
Result<PluginRun> runPlugin(const PluginLaunch& launch, RecordStore& store, const std::vector<RejectRule>& rejects);

// A string record as this platform's host object serves it best: on Linux a
// large one is written once into a sealed memory file that every read is
// given as it stands (the string itself is then let go), elsewhere the string.
RecordValue shareText(std::string text);

// A string record written a piece at a time, as this platform's host object
// serves it best: on Linux into one sealed memory file, mapped, that every
// read of the record is given as it stands (the text is then in memory once),
// elsewhere a string.
class SharedTextWriter {
 public:
  virtual ~SharedTextWriter() = default;
  // False when the piece cannot be kept (no room for it): the writer is
  // then spent, and finish fails.
  virtual bool append(std::string_view bytes) = 0;
  // The record of what was written; fails, saying why, when it could not
  // all be kept.
  virtual Result<RecordValue> finish() = 0;
};
std::unique_ptr<SharedTextWriter> newSharedTextWriter();

// The plug-in started when none is named: the one beside this program, else
// (Linux, installed) ../lib/tarnweld/tarnweld from this program's directory.
std::string defaultPluginPath();

// The arguments after the program's name, as UTF-8, the stand-in's text for
// names and paths on every platform: argv as given on Linux, the wide command
// line on Windows, so that a document's name in any script survives.
std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace tarnweld::host
