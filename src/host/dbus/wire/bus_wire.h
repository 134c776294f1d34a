// The bus contract as code, for both of its sides: the plug-in's session-bus
// backend and the host stand-in's bus service. It holds the names the object
// is served under, the string codec (a variant "s" in the message, "h" a
// sealed memory file, "n" a 16-bit integer), the one request either side
// queues behind its connection's greeting, and the time-out of a bus loop.
// The contract itself is written down in ../CONTRACT.md and
// ../htmlkit.HTMLKitPluginsCore.xml.
#pragma once

#include <systemd/sd-bus.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/result.h"
#include "platform/posix/deadline_wait.h"
#include "platform/posix/sealed_memfd.h"
#include "text/text.h"
#include "text/utf.h"

namespace tarnweld::dbus_wire {

// The object path and interface under which the host serves its plug-in core.
inline constexpr const char* kObjectPath = "/htmlkit/HTMLKitPluginsCore";
inline constexpr const char* kInterface = "htmlkit.HTMLKitPluginsCore";

// A string of at least this many bytes as UTF-8 is sent as a sealed memory
// file (a variant "h") rather than inside the message ("s"): it then passes
// the bus daemon as a descriptor, uncopied, and no message size bounds it.
// Both sides accept either form at any size.
inline constexpr std::size_t kTextByDescriptorBytes = std::size_t{64} << 10;
// The largest string, as UTF-8, that goes inside a message: for a connection
// that cannot pass descriptors. A message is at most 128 MiB whole; this
// leaves room for the rest of a call.
inline constexpr std::size_t kLargestStringBytes = (std::size_t{128} << 20) - (std::size_t{4} << 10);

// The variant contents the contract knows.
inline constexpr char kStringSignature[] = "s";
inline constexpr char kTextFileSignature[] = "h";
inline constexpr char kInt16Signature[] = "n";

// One variant value as it arrived. A string's bytes, and a memory file's
// descriptor, belong to the message.
struct WireValue {
  enum class Kind { kString, kTextFile, kInt16 };
  Kind kind = Kind::kString;
  std::string_view string;  // kString
  int file = -1;            // kTextFile
  std::int16_t number = 0;  // kInt16
};

// Reads the variant the message is at. Fails with FailureKind::kNotFound, and
// reads nothing, when the next value is not a variant of "s", "h" or "n" (the
// end of the message included); with kOther when the variant cannot be read.
Result<WireValue> readVariant(sd_bus_message* message);

// How a string of kTextByDescriptorBytes or more, or one holding a
// noncharacter, goes: as a sealed memory file ("h"), or inside the message
// ("s") when the connection at either end cannot pass descriptors.
enum class LargeText { kAsFile, kInMessage };

// Whether `bus` negotiated descriptor passing (a Unix socket, both ends
// willing): a connection that did not can send no "h".
bool passesFiles(sd_bus* bus);

// "U+FDD0 at character 12": a noncharacter found in `utf8`, and where it
// stands, counted as the host counts characters (UTF-16 units, from 1).
std::string describeNoncharacter(std::string_view utf8, const FoundNoncharacter& found);

// Appends a string variant: "h" with a sealed memory file (the message keeps
// a duplicate of its descriptor) from kTextByDescriptorBytes of UTF-8 on, and
// at any size when the string holds a noncharacter (which the bus library
// refuses inside a message), else "s". A connection that cannot pass
// descriptors gets "s" at any size, and a string holding a noncharacter is
// not appended (a failure that names it). `utf8` must be UTF-8 without NUL.
// A string that lies in the sealed memory file `sealedFile` (-1: none) goes
// as that file when it goes as a file, with no copy.
Status appendUtf8(sd_bus_message* message, std::string_view utf8, int sealedFile = -1);

// The same for the program's text, which is UTF-8 without NUL as it stands
// and goes unchecked; returns the form it went in (kString or kTextFile). A
// text that lies in the sealed memory file `sealedFile` (-1: none) goes as
// that file, with no copy; another large one is written into a new file.
// With LargeText::kInMessage, one that holds a noncharacter, or is larger
// than kLargestStringBytes, is not appended (a failure): the bus library
// refuses the first, and the bus daemon drops the connection that sends the
// second.
Result<WireValue::Kind> appendText(sd_bus_message* message, TextView text, int sealedFile, LargeText large);

Status appendInt16(sd_bus_message* message, std::int16_t number);

// The bus daemon's answer to a call queued on a connection just opened,
// behind its greeting rather than after the greeting's answer: one round trip,
// not two. The connection is processed until the answer arrives.
//
// nameOwner: the unique name of the connection that owns `busName`; fails
// when it has no owner or the answer cannot be had.
Result<std::string> nameOwner(sd_bus* bus, const std::string& busName);
// requestName: takes `busName` as its primary owner; fails, saying so, when
// another connection holds it. It never waits in the daemon's queue for the
// name: a second host is told at once, and never takes over later.
Status requestName(sd_bus* bus, const std::string& busName);

// When the connection next needs processing (a call's time-out), for a loop
// that waits on its descriptor; nothing when it needs none.
posix::Deadline nextTimeout(sd_bus* bus);

// Processes what the connection holds, then waits until it has more, its
// time-out comes or `stopFd` is readable. kStopped when told to stop; a
// failure when the connection is gone or cannot be waited on.
Result<posix::WaitEnd> serveOnce(sd_bus* bus, int stopFd);

}  // namespace tarnweld::dbus_wire
