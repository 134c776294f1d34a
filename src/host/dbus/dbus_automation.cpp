// The session-bus backend, on sd-bus. Every bus exchange happens inside a try
// block at the boundary of create() and invoke(): whatever goes wrong becomes
// a null object or a failed call, so nothing reaches the caller.
#include "host/dbus/dbus_automation.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/dbus/wire/bus_wire.h"
#include "host/dbus/wire/sd_bus_owners.h"
#include "platform/posix/deadline_wait.h"
#include "platform/posix/fd.h"
#include "platform/posix/sealed_file_text.h"
#include "platform/posix/sealed_memfd.h"
#include "platform/posix/stop_signal.h"
#include "text/text.h"

namespace tarnweld {
namespace {

// The bus daemon's signal that a name changed hands, matched for the host's
// unique name.
constexpr const char* kNameOwnerChangedRule =
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='";
// The standard interface every connection answers, asked whether the host
// takes descriptors.
constexpr const char* kPeerInterface = "org.freedesktop.DBus.Peer";
constexpr const char* kPing = "Ping";

// A host call waits for its answer as long as the host is there: a host that
// leaves fails the call at once (the bus daemon answers for it), and the
// watcher ends the process besides.
constexpr std::uint64_t kNoTimeout = std::numeric_limits<std::uint64_t>::max();

// How long the watcher waits before it connects. Most runs hand back their
// result well within it and never open a second connection; a host that
// left meanwhile is seen the moment the watcher connects, and the calls made
// before then fail at once, as any call to a host that has gone.
constexpr std::chrono::milliseconds kWatchDelay{50};

using posix::Fd;
using sdbus_owners::BusPtr;
using sdbus_owners::CallError;
using sdbus_owners::MessagePtr;
using sdbus_owners::SlotPtr;

// The plug-in has no business once its host has gone: ending the process at
// once is the only way to stop a transformation that is under way.
[[noreturn]] void hostLeft() { _exit(0); }

// Watches the host from a thread and a bus connection of its own, so that it
// sees the host leave whatever the program's thread is doing (inside a long
// transformation, or waiting for a call's answer). The host is the connection
// that owned the host's bus name when the session was created, known by its
// unique name: the watcher ends the process when that connection leaves the
// bus (or had left before the watcher connected), and when its own connection
// closes or cannot be opened. Another connection taking the bus name changes
// nothing here, since no call is ever addressed to it. It connects only after
// kWatchDelay, unless it is stopped first.
class HostWatcher {
 public:
  // Starts watching the connection whose unique name is `owner`. Returns
  // nullptr when the watcher cannot be started.
  static std::unique_ptr<HostWatcher> start(std::string owner) {
    std::string rule = kNameOwnerChangedRule + owner + "'";
    std::unique_ptr<HostWatcher> watcher(new HostWatcher(std::move(owner), std::move(rule)));
    HostWatcher* self = watcher.get();
    if (!watcher->thread_.start([self](int stop) { self->run(stop); })) return nullptr;
    return watcher;
  }

  HostWatcher(const HostWatcher&) = delete;
  HostWatcher& operator=(const HostWatcher&) = delete;

 private:
  HostWatcher(std::string owner, std::string rule) : owner_(std::move(owner)), rule_(std::move(rule)) {}

  static int onOwnerChanged(sd_bus_message* message, void*, sd_bus_error*) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) >= 0 && newOwner && *newOwner == '\0') {
      hostLeft();
    }
    return 0;
  }

  // Sleeps until the delay has passed (true) or the watcher is stopped (false).
  static bool delayPasses(int stop) {
    const Result<posix::WaitEnd> waited = posix::waitUntil(-1, 0, std::chrono::steady_clock::now() + kWatchDelay, stop);
    return !waited || *waited != posix::WaitEnd::kStopped;
  }

  void run(int stop) noexcept {
    if (!delayPasses(stop)) return;
    try {
      watch(stop);
    } catch (...) {
      hostLeft();  // no memory to watch with
    }
  }

  void watch(int stop) {
    sd_bus* raw = nullptr;
    const int opened = sd_bus_open_user(&raw);
    const BusPtr bus(raw);
    if (opened < 0) hostLeft();

    sd_bus_slot* rawSlot = nullptr;
    const int matched = sd_bus_add_match(bus.get(), &rawSlot, rule_.c_str(), &onOwnerChanged, nullptr);
    const SlotPtr match(rawSlot);
    // The match is in place before this check, so a host that leaves after it
    // is seen by the loop; one that left before it, during the delay
    // included, is seen here: a unique name is never owned again.
    if (matched < 0) hostLeft();
    const Result<std::string> owner = dbus_wire::nameOwner(bus.get(), owner_);
    if (!owner || *owner != owner_) hostLeft();

    for (;;) {
      const Result<posix::WaitEnd> waited = dbus_wire::serveOnce(bus.get(), stop);
      if (!waited) hostLeft();
      if (*waited == posix::WaitEnd::kStopped) return;
    }
  }

  const std::string owner_;
  const std::string rule_;
  // Last, so that it is stopped and joined before what it reads goes.
  posix::StoppableThread thread_;
};

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// Reads the string variant the reply is at, in either form. Nothing when the
// next value is not one (the end of the reply included), a failure when the
// value cannot be read. Text that is not UTF-8 is read with U+FFFD in place
// of each bad sequence. A memory file's text stays in the file: the text
// holds a duplicate of its descriptor and its mapping.
Result<std::optional<Text>> readString(sd_bus_message* reply) {
  Result<dbus_wire::WireValue> value = dbus_wire::readVariant(reply);
  if (value.notFound()) return std::optional<Text>();
  if (!value) return value.failure();
  switch (value->kind) {
    case dbus_wire::WireValue::Kind::kString:
      return std::optional(textFromUtf8(value->string));
    case dbus_wire::WireValue::Kind::kTextFile: {
      // A NUL fails the call, as it fails one whose text came as an "s".
      Result<Text> text = posix::readSealedText(value->file, NulBytes::kRefuse);
      if (!text) return text.failure();
      return std::optional(std::move(*text));
    }
    case dbus_wire::WireValue::Kind::kInt16:
      break;
  }
  return std::optional<Text>();
}

// Appends one argument; returns the form it went in.
Result<dbus_wire::WireValue::Kind> appendArgument(sd_bus_message* call, const AutomationArg& arg,
                                                  dbus_wire::LargeText large) {
  using Appended = Result<dbus_wire::WireValue::Kind>;
  return std::visit(Overloaded{
                        [&](TextView text) { return dbus_wire::appendText(call, text, -1, large); },
                        [&](std::int16_t number) {
                          const Status appended = dbus_wire::appendInt16(call, number);
                          return appended ? Appended(dbus_wire::WireValue::Kind::kInt16) : appended.failure();
                        },
                        [&](StringRef ref) {
                          return dbus_wire::appendText(call, *ref.target, posix::sealedFileOf(*ref.target), large);
                        },
                    },
                    arg);
}

class DbusAutomationObject final : public AutomationObject {
 public:
  // `host` is the unique name of the connection every call is addressed to.
  DbusAutomationObject(BusPtr bus, std::string host, std::unique_ptr<HostWatcher> watcher)
      : bus_(std::move(bus)), host_(std::move(host)), watcher_(std::move(watcher)) {}

  // A large text, and one holding a noncharacter, travel as a memory file,
  // which no message size bounds and which carries any character; to a host
  // that cannot take descriptors they go inside one message, which bounds the
  // one and cannot carry the other.
  std::optional<Text> refusesText(const Text& text) const override {
    // Most texts are small and hold no noncharacter: they go inside the
    // message to any host, with nothing to ask.
    const std::string_view utf8 = text.bytes();
    if (utf8.size() < dbus_wire::kTextByDescriptorBytes && !firstNoncharacter(utf8)) return std::nullopt;
    if (hostTakesFiles()) return std::nullopt;
    if (utf8.size() > dbus_wire::kLargestStringBytes) {
      return textFromAscii("the result is " + std::to_string(utf8.size()) + " bytes as UTF-8, over the limit of " +
                           std::to_string(dbus_wire::kLargestStringBytes) +
                           " bytes in one D-Bus message to a host that takes no file descriptors");
    }
    if (const std::optional<FoundNoncharacter> found = firstNoncharacter(utf8)) {
      return textFromAscii("the result holds " + dbus_wire::describeNoncharacter(utf8, *found) +
                           ", which D-Bus carries only in a file descriptor, to a host that takes none");
    }
    return std::nullopt;
  }

  bool invoke(TextView name, std::span<const AutomationArg> args) override {
    try {
      const std::string method = textToUtf8WithoutNul(name);
      const bool asFiles = dbus_wire::passesFiles(bus_.get()) && hostTakesFiles_.value_or(true);
      Result<MessagePtr> reply =
          call(method, args, asFiles ? dbus_wire::LargeText::kAsFile : dbus_wire::LargeText::kInMessage);
      // The bus daemon refuses a descriptor for a connection that did not
      // negotiate them, and a host may refuse the argument; either way the
      // host gets the text inside the message instead.
      if (!reply && reply.failure().kind == FailureKind::kUnsupported) {
        hostTakesFiles_ = false;
        reply = call(method, args, dbus_wire::LargeText::kInMessage);
      }
      if (!reply) return false;

      std::size_t refCount = 0;
      for (const AutomationArg& arg : args) {
        if (std::holds_alternative<StringRef>(arg)) ++refCount;
      }

      // The reply holds one variant per by-reference argument the host wrote,
      // in argument order. All are read before any is stored, so a reply that
      // turns out malformed leaves every argument as it was.
      std::vector<Text> written;
      if (!sd_bus_message_is_empty(reply->get())) {
        written.reserve(refCount);
        while (written.size() < refCount) {
          Result<std::optional<Text>> text = readString(reply->get());
          if (!text) return false;
          // The end of the reply and a value that is not a string variant
          // are alike: before the first value that is a malformed reply;
          // after it, the host wrote no more.
          if (!*text && written.empty()) return false;
          if (!*text) break;
          written.push_back(std::move(**text));
        }
      }

      auto next = written.begin();
      for (const AutomationArg& arg : args) {
        if (next == written.end()) break;
        if (const auto* ref = std::get_if<StringRef>(&arg)) *ref->target = std::move(*next++);
      }
      return true;
    } catch (...) {
      // A reply of the wrong shape, or no memory for the text: a failed call
      // like any other.
      return false;
    }
  }

 private:
  // Makes the call `method` with `args`, sending each large text as `large`
  // says, and waits for its answer: the reply, or why there is none. A call
  // that carried a memory file and was answered that the host cannot take it
  // (the bus daemon's NotSupported, the host's InvalidArgs) fails as
  // FailureKind::kUnsupported. Nothing is sent when an argument cannot be
  // appended.
  Result<MessagePtr> call(const std::string& method, std::span<const AutomationArg> args, dbus_wire::LargeText large) {
    sd_bus_message* rawCall = nullptr;
    const int made = sd_bus_message_new_method_call(bus_.get(), &rawCall, host_.c_str(), dbus_wire::kObjectPath,
                                                    dbus_wire::kInterface, method.c_str());
    const MessagePtr message(rawCall);
    if (made < 0) return fail("cannot make the call");
    bool fileSent = false;
    for (const AutomationArg& arg : args) {
      const Result<dbus_wire::WireValue::Kind> appended = appendArgument(message.get(), arg, large);
      if (!appended) return appended.failure();
      fileSent = fileSent || *appended == dbus_wire::WireValue::Kind::kTextFile;
    }
    CallError error;
    sd_bus_message* rawReply = nullptr;
    const int called = sd_bus_call(bus_.get(), message.get(), kNoTimeout, &error.value, &rawReply);
    MessagePtr reply(rawReply);
    if (called >= 0) return reply;
    const bool fileRefused = fileSent && (sd_bus_error_has_name(&error.value, SD_BUS_ERROR_NOT_SUPPORTED) ||
                                          sd_bus_error_has_name(&error.value, SD_BUS_ERROR_INVALID_ARGS));
    return fail(error.value.message ? error.value.message : "the call failed",
                fileRefused ? FailureKind::kUnsupported : FailureKind::kOther);
  }

  // Whether the host's connection takes descriptors. Unless a call has told,
  // the host is pinged with one: the bus daemon answers NotSupported for a
  // connection that cannot take it, and passes it to one that can.
  bool hostTakesFiles() const {
    if (!dbus_wire::passesFiles(bus_.get())) return false;
    if (!hostTakesFiles_) hostTakesFiles_ = pingTakesFile();
    return *hostTakesFiles_;
  }
  bool pingTakesFile() const {
    const Fd file = posix::SealedMemfdWriter().seal();
    sd_bus_message* rawPing = nullptr;
    if (!file || sd_bus_message_new_method_call(bus_.get(), &rawPing, host_.c_str(), dbus_wire::kObjectPath,
                                                kPeerInterface, kPing) < 0) {
      return false;
    }
    const MessagePtr ping(rawPing);
    if (sd_bus_message_append(ping.get(), "h", file.get()) < 0) return false;
    CallError error;
    sd_bus_message* rawReply = nullptr;
    const int pinged = sd_bus_call(bus_.get(), ping.get(), kNoTimeout, &error.value, &rawReply);
    const MessagePtr reply(rawReply);
    return pinged >= 0 || !sd_bus_error_has_name(&error.value, SD_BUS_ERROR_NOT_SUPPORTED);
  }

  BusPtr bus_;
  std::string host_;
  // Whether the host takes descriptors, once known.
  mutable std::optional<bool> hostTakesFiles_;
  // Declared last, so it stops first when the object is released.
  std::unique_ptr<HostWatcher> watcher_;
};

class DbusAutomationBackend final : public AutomationBackend {
 public:
  explicit DbusAutomationBackend(WhenHostLeaves whenHostLeaves) : whenHostLeaves_(whenHostLeaves) {}

  std::unique_ptr<AutomationObject> create(TextView progId) override {
    try {
      const std::string busName = textToUtf8WithoutNul(progId);
      sd_bus* raw = nullptr;
      const int opened = sd_bus_open_user(&raw);
      BusPtr bus(raw);
      if (opened < 0) return nullptr;

      // Asking the bus daemon first means a missing host costs one quick
      // round trip, and no call ever starts a service by activation. The
      // owner it names is the host for the whole session: calls go to that
      // connection, never to whichever takes the bus name after it.
      Result<std::string> owner = dbus_wire::nameOwner(bus.get(), busName);
      if (!owner) return nullptr;

      // No object without the watcher: the plug-in must never outlive its host.
      std::unique_ptr<HostWatcher> watcher;
      if (whenHostLeaves_ == WhenHostLeaves::EndProcess) {
        watcher = HostWatcher::start(*owner);
        if (!watcher) return nullptr;
      }
      return std::make_unique<DbusAutomationObject>(std::move(bus), std::move(*owner), std::move(watcher));
    } catch (...) {
      return nullptr;
    }
  }

 private:
  WhenHostLeaves whenHostLeaves_;
};

}  // namespace

std::unique_ptr<AutomationBackend> makeDbusAutomationBackend(WhenHostLeaves whenHostLeaves) {
  return std::make_unique<DbusAutomationBackend>(whenHostLeaves);
}

}  // namespace tarnweld
