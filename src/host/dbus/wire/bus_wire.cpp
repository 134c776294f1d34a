#include "host/dbus/wire/bus_wire.h"

#include <errno.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "host/dbus/wire/sd_bus_owners.h"
#include "platform/posix/errno_text.h"
#include "text/text.h"
#include "text/utf.h"

namespace tarnweld::dbus_wire {
namespace {

// The bus daemon itself.
constexpr const char* kBusDaemonName = "org.freedesktop.DBus";
constexpr const char* kBusDaemonPath = "/org/freedesktop/DBus";
constexpr const char* kBusDaemonInterface = "org.freedesktop.DBus";
// The bus daemon's own answers come within the library's default time.
constexpr std::uint64_t kDefaultTimeout = 0;
// RequestName's flag that refuses a place in the queue behind another owner,
// and its answers: now the primary owner; another connection owns it.
constexpr std::uint32_t kDoNotQueue = 4;
constexpr std::uint32_t kPrimaryOwner = 1;
constexpr std::uint32_t kExists = 3;

using posix::errnoText;

using sdbus_owners::MessagePtr;
using sdbus_owners::SlotPtr;

// Sends `member(name)`, or `member(name, flags)` when flags are given, to
// the bus daemon and processes the connection until its reply (an error
// reply included) arrives.
Result<MessagePtr> askBusDaemon(sd_bus* bus, const char* member, const char* name,
                                std::optional<std::uint32_t> flags = std::nullopt) {
  struct Answer {
    bool arrived = false;
    MessagePtr reply;
  } answer;
  auto onReply = [](sd_bus_message* reply, void* userdata, sd_bus_error*) -> int {
    auto* result = static_cast<Answer*>(userdata);
    result->arrived = true;
    result->reply.reset(sd_bus_message_ref(reply));
    return 0;
  };
  sd_bus_message* rawQuery = nullptr;
  int r = sd_bus_message_new_method_call(bus, &rawQuery, kBusDaemonName, kBusDaemonPath, kBusDaemonInterface, member);
  const MessagePtr query(rawQuery);
  if (r >= 0) r = sd_bus_message_append_basic(query.get(), SD_BUS_TYPE_STRING, name);
  if (r >= 0 && flags) r = sd_bus_message_append_basic(query.get(), SD_BUS_TYPE_UINT32, &*flags);
  if (r < 0) return fail("cannot ask the bus daemon: " + errnoText(r));
  sd_bus_slot* rawSlot = nullptr;
  r = sd_bus_call_async(bus, &rawSlot, query.get(), onReply, &answer, kDefaultTimeout);
  const SlotPtr pending(rawSlot);
  if (r < 0) return fail("cannot ask the bus daemon: " + errnoText(r));
  while (!answer.arrived) {
    r = sd_bus_process(bus, nullptr);
    if (r == 0) r = sd_bus_wait(bus, UINT64_MAX);
    if (r < 0 && r != -EINTR) return fail("lost the bus: " + errnoText(r));
  }
  if (!answer.reply) return fail("no answer from the bus daemon");
  return std::move(answer.reply);
}

}  // namespace

Result<WireValue> readVariant(sd_bus_message* message) {
  char type = 0;
  const char* contents = nullptr;
  if (sd_bus_message_peek_type(message, &type, &contents) <= 0 || type != SD_BUS_TYPE_VARIANT || !contents) {
    return fail("each argument must be a variant", FailureKind::kNotFound);
  }
  const std::string_view signature = contents;
  WireValue value;
  char basic = 0;
  void* slot = nullptr;
  const char* string = nullptr;
  if (signature == kStringSignature) {
    value.kind = WireValue::Kind::kString;
    basic = SD_BUS_TYPE_STRING;
    slot = &string;
  } else if (signature == kTextFileSignature) {
    value.kind = WireValue::Kind::kTextFile;
    basic = SD_BUS_TYPE_UNIX_FD;
    slot = &value.file;
  } else if (signature == kInt16Signature) {
    value.kind = WireValue::Kind::kInt16;
    basic = SD_BUS_TYPE_INT16;
    slot = &value.number;
  } else {
    return fail("an argument must be a string (s or h) or 16-bit integer (n) variant, not " + std::string(signature),
                FailureKind::kNotFound);
  }
  if (sd_bus_message_enter_container(message, SD_BUS_TYPE_VARIANT, contents) <= 0 ||
      sd_bus_message_read_basic(message, basic, slot) <= 0 || sd_bus_message_exit_container(message) < 0) {
    return fail("unreadable argument");
  }
  if (string) value.string = string;
  return value;
}

bool passesFiles(sd_bus* bus) { return sd_bus_can_send(bus, SD_BUS_TYPE_UNIX_FD) > 0; }

std::string describeNoncharacter(std::string_view utf8, const FoundNoncharacter& found) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(found.codePoint));
  return std::string(code) + " at character " + std::to_string(utf16LengthOfUtf8(utf8.substr(0, found.offset)) + 1);
}

namespace {

// Appends a text as an "h": the sealed memory file it lies in, when it lies
// in one (the message keeps a duplicate of the descriptor), else a new one
// written with its bytes as they stand.
Result<WireValue::Kind> appendTextFile(sd_bus_message* message, std::string_view utf8, int sealedFile) {
  posix::Fd written;
  if (sealedFile < 0) {
    posix::SealedMemfdWriter writer;
    writer.append(utf8);
    written = std::move(writer).seal();
    if (!written) return fail("cannot make a memory file: " + errnoText(-errno));
  }
  const int r = sd_bus_message_append(message, "v", kTextFileSignature, sealedFile < 0 ? written.get() : sealedFile);
  if (r < 0) return fail("cannot add a string: " + errnoText(r));
  return WireValue::Kind::kTextFile;
}

}  // namespace

Status appendUtf8(sd_bus_message* message, std::string_view utf8, int sealedFile) {
  const bool files = passesFiles(sd_bus_message_get_bus(message));
  const std::optional<FoundNoncharacter> noncharacter =
      utf8.size() < kTextByDescriptorBytes || !files ? firstNoncharacter(utf8) : std::nullopt;
  if (noncharacter && !files) {
    return fail("the string holds " + describeNoncharacter(utf8, *noncharacter) +
                ", which D-Bus carries only in a file descriptor, and this connection passes none");
  }
  if (noncharacter || (utf8.size() >= kTextByDescriptorBytes && files)) {
    const Result<WireValue::Kind> sent = appendTextFile(message, utf8, sealedFile);
    if (!sent) return sent.failure();
    return {};
  }
  // The message copies the text; it needs its own terminated copy first.
  const int r = sd_bus_message_append(message, "v", kStringSignature, std::string(utf8).c_str());
  if (r < 0) return fail("cannot add a string: " + errnoText(r));
  return {};
}

Result<WireValue::Kind> appendText(sd_bus_message* message, TextView text, int sealedFile, LargeText large) {
  // A text is UTF-8 without NUL as it stands: it goes as it is, unchecked.
  const std::string_view utf8 = text.bytes();
  if (utf8.size() >= kTextByDescriptorBytes && large == LargeText::kAsFile) {
    return appendTextFile(message, utf8, sealedFile);
  }
  if (utf8.size() > kLargestStringBytes) return fail("the string is too large for one message");
  // The bus library refuses a message whose string holds a noncharacter; a
  // memory file carries it, and nothing else can.
  if (const std::optional<FoundNoncharacter> found = firstNoncharacter(utf8)) {
    if (large == LargeText::kAsFile) return appendTextFile(message, utf8, sealedFile);
    return fail("the string holds " + describeNoncharacter(utf8, *found) + ", which only a file descriptor carries");
  }
  // The message copies the string; it needs its own terminated copy first.
  const int r = sd_bus_message_append(message, "v", kStringSignature, std::string(utf8).c_str());
  if (r < 0) return fail("cannot add a string: " + errnoText(r));
  return WireValue::Kind::kString;
}

Status appendInt16(sd_bus_message* message, std::int16_t number) {
  const int r = sd_bus_message_append(message, "v", kInt16Signature, number);
  if (r < 0) return fail("cannot add an integer: " + errnoText(r));
  return {};
}

Result<std::string> nameOwner(sd_bus* bus, const std::string& busName) {
  Result<MessagePtr> reply = askBusDaemon(bus, "GetNameOwner", busName.c_str());
  if (!reply) return reply.failure();
  const char* owner = nullptr;
  if (sd_bus_message_is_method_error(reply->get(), nullptr)) return fail(busName + " has no owner");
  if (sd_bus_message_read(reply->get(), "s", &owner) < 0 || !owner) return fail("unreadable answer");
  return std::string(owner);
}

Status requestName(sd_bus* bus, const std::string& busName) {
  Result<MessagePtr> reply = askBusDaemon(bus, "RequestName", busName.c_str(), kDoNotQueue);
  if (!reply) return reply.failure();
  if (const sd_bus_error* error = sd_bus_message_get_error(reply->get())) {
    return fail("cannot own " + busName + " on the bus: " + errnoText(-sd_bus_error_get_errno(error)));
  }
  std::uint32_t code = 0;
  if (sd_bus_message_read(reply->get(), "u", &code) < 0) return fail("cannot own " + busName + ": unreadable answer");
  if (code == kExists) return fail(busName + " already has an owner on this bus (is another host running?)");
  if (code != kPrimaryOwner) return fail("cannot own " + busName + " on the bus");
  return {};
}

posix::Deadline nextTimeout(sd_bus* bus) {
  std::uint64_t dueUs = 0;
  if (sd_bus_get_timeout(bus, &dueUs) < 0 || dueUs == UINT64_MAX) return std::nullopt;
  // sd-bus counts on CLOCK_MONOTONIC, which is steady_clock's on Linux.
  return std::chrono::steady_clock::time_point(std::chrono::microseconds(dueUs));
}

Result<posix::WaitEnd> serveOnce(sd_bus* bus, int stopFd) {
  int r = 0;
  while ((r = sd_bus_process(bus, nullptr)) > 0) {
  }
  if (r < 0 || sd_bus_is_open(bus) <= 0) return fail("lost the bus");
  const int events = sd_bus_get_events(bus);
  if (events < 0) return fail("lost the bus");
  return posix::waitUntil(sd_bus_get_fd(bus), static_cast<short>(events), nextTimeout(bus), stopFd);
}

}  // namespace tarnweld::dbus_wire
