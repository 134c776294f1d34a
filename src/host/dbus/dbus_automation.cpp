// The session-bus backend, on sd-bus. Every bus exchange happens inside a try
// block at the boundary of create() and invoke(): whatever goes wrong becomes
// a null object or a failed call, so nothing reaches the caller.
#include "host/dbus/dbus_automation.h"

#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/dbus/wire/bus_wire.h"
#include "host/dbus/wire/sd_bus_owners.h"
#include "platform/posix/deadline_wait.h"
#include "platform/posix/fd.h"
#include "platform/posix/sealed_memfd.h"
#include "text/utf.h"

namespace tarnweld {
namespace {

// The bus daemon's signal that a name changed hands, matched for the host's name.
constexpr const char* kNameOwnerChangedRule =
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='";

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
using sdbus_owners::MessagePtr;
using sdbus_owners::SlotPtr;

// An error a call may fill in, freed when its owner goes.
struct CallError {
  CallError() = default;
  CallError(const CallError&) = delete;
  CallError& operator=(const CallError&) = delete;
  ~CallError() { sd_bus_error_free(&value); }
  sd_bus_error value = SD_BUS_ERROR_NULL;
};

// The plug-in has no business once its host has gone: ending the process at
// once is the only way to stop a transformation that is under way.
[[noreturn]] void hostLeft() { _exit(0); }

// Watches the host from a thread and a bus connection of its own, so that it
// sees the host leave whatever the program's thread is doing (inside a long
// transformation, or waiting for a call's answer). It ends the process when
// the host's bus name loses its owner, when the connection closes or cannot
// be opened, and when, as it connects, it finds the name no longer owned by
// the connection that owned it at the start. It connects only after
// kWatchDelay, unless it is stopped first.
class HostWatcher {
 public:
  // Starts watching `busName`, owned by the connection `owner`. Returns
  // nullptr when the watcher cannot be started.
  static std::unique_ptr<HostWatcher> start(const std::string& busName, std::string owner) {
    Fd stop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stop) return nullptr;
    std::string rule = kNameOwnerChangedRule + busName + "'";
    return std::unique_ptr<HostWatcher>(new HostWatcher(busName, std::move(owner), std::move(rule), std::move(stop)));
  }

  HostWatcher(const HostWatcher&) = delete;
  HostWatcher& operator=(const HostWatcher&) = delete;

  ~HostWatcher() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stop_.get(), &one, sizeof one);
    thread_.join();
  }

 private:
  HostWatcher(std::string busName, std::string owner, std::string rule, Fd&& stop)
      : busName_(std::move(busName)), owner_(std::move(owner)), rule_(std::move(rule)), stop_(std::move(stop)) {
    thread_ = std::thread([this] { run(); });
  }

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
  bool delayPasses() {
    const Result<posix::WaitEnd> waited =
        posix::waitUntil(-1, 0, std::chrono::steady_clock::now() + kWatchDelay, stop_.get());
    return !waited || *waited != posix::WaitEnd::kStopped;
  }

  void run() noexcept {
    if (!delayPasses()) return;
    try {
      watch();
    } catch (...) {
      hostLeft();  // no memory to watch with
    }
  }

  void watch() {
    sd_bus* raw = nullptr;
    const int opened = sd_bus_open_user(&raw);
    const BusPtr bus(raw);
    if (opened < 0) hostLeft();

    sd_bus_slot* rawSlot = nullptr;
    const int matched = sd_bus_add_match(bus.get(), &rawSlot, rule_.c_str(), &onOwnerChanged, nullptr);
    const SlotPtr match(rawSlot);
    // The match is in place before this check, so an owner that leaves after
    // it is seen by the loop; one that left before it, during the delay
    // included (even if another has taken the name since), is seen here.
    if (matched < 0) hostLeft();
    const Result<std::string> owner = dbus_wire::nameOwner(bus.get(), busName_);
    if (!owner || *owner != owner_) hostLeft();

    for (;;) {
      const Result<posix::WaitEnd> waited = dbus_wire::serveOnce(bus.get(), stop_.get());
      if (!waited) hostLeft();
      if (*waited == posix::WaitEnd::kStopped) return;
    }
  }

  const std::string busName_;
  const std::string owner_;
  const std::string rule_;
  Fd stop_;
  std::thread thread_;
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
// of each bad sequence.
Result<std::optional<std::u16string>> readString(sd_bus_message* reply) {
  Result<dbus_wire::WireValue> value = dbus_wire::readVariant(reply);
  if (value.notFound()) return std::optional<std::u16string>();
  if (!value) return value.failure();
  switch (value->kind) {
    case dbus_wire::WireValue::Kind::kString:
      return std::optional(fromUtf8Lenient(value->string));
    case dbus_wire::WireValue::Kind::kTextFile:
      // The descriptor stays the message's.
      if (std::optional<std::u16string> text = posix::readSealedUtf8(value->file)) return text;
      return fail("not a readable sealed text file");
    case dbus_wire::WireValue::Kind::kInt16:
      break;
  }
  return std::optional<std::u16string>();
}

Status appendArgument(sd_bus_message* call, const AutomationArg& arg) {
  return std::visit(Overloaded{
                        [&](std::u16string_view text) { return dbus_wire::appendText(call, text); },
                        [&](std::int16_t number) { return dbus_wire::appendInt16(call, number); },
                        [&](StringRef ref) { return dbus_wire::appendText(call, *ref.target); },
                    },
                    arg);
}

class DbusAutomationObject final : public AutomationObject {
 public:
  DbusAutomationObject(BusPtr bus, std::string busName, std::unique_ptr<HostWatcher> watcher)
      : bus_(std::move(bus)), busName_(std::move(busName)), watcher_(std::move(watcher)) {}

  // refusesText keeps its default: a large text travels as a memory file,
  // which no message size bounds.

  bool invoke(std::u16string_view name, std::span<const AutomationArg> args) override {
    try {
      sd_bus_message* rawCall = nullptr;
      const int made = sd_bus_message_new_method_call(bus_.get(), &rawCall, busName_.c_str(), dbus_wire::kObjectPath,
                                                      dbus_wire::kInterface, toUtf8WithoutNul(name).c_str());
      const MessagePtr call(rawCall);
      if (made < 0) return false;
      std::size_t refCount = 0;
      for (const AutomationArg& arg : args) {
        if (!appendArgument(call.get(), arg).ok()) return false;
        if (std::holds_alternative<StringRef>(arg)) ++refCount;
      }
      CallError error;
      sd_bus_message* rawReply = nullptr;
      const int called = sd_bus_call(bus_.get(), call.get(), kNoTimeout, &error.value, &rawReply);
      const MessagePtr reply(rawReply);
      if (called < 0) return false;

      // The reply holds one variant per by-reference argument the host wrote,
      // in argument order. All are read before any is stored, so a reply that
      // turns out malformed leaves every argument as it was.
      std::vector<std::u16string> written;
      if (!sd_bus_message_is_empty(reply.get())) {
        written.reserve(refCount);
        while (written.size() < refCount) {
          Result<std::optional<std::u16string>> text = readString(reply.get());
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
  BusPtr bus_;
  std::string busName_;
  // Declared last, so it stops first when the object is released.
  std::unique_ptr<HostWatcher> watcher_;
};

class DbusAutomationBackend final : public AutomationBackend {
 public:
  explicit DbusAutomationBackend(WhenHostLeaves whenHostLeaves) : whenHostLeaves_(whenHostLeaves) {}

  std::unique_ptr<AutomationObject> create(std::u16string_view progId) override {
    try {
      std::string busName = toUtf8WithoutNul(progId);
      sd_bus* raw = nullptr;
      const int opened = sd_bus_open_user(&raw);
      BusPtr bus(raw);
      if (opened < 0) return nullptr;

      // Asking the bus daemon first means a missing host costs one quick
      // round trip, and no call ever starts a service by activation.
      Result<std::string> owner = dbus_wire::nameOwner(bus.get(), busName);
      if (!owner) return nullptr;

      // No object without the watcher: the plug-in must never outlive its host.
      std::unique_ptr<HostWatcher> watcher;
      if (whenHostLeaves_ == WhenHostLeaves::EndProcess) {
        watcher = HostWatcher::start(busName, std::move(*owner));
        if (!watcher) return nullptr;
      }
      return std::make_unique<DbusAutomationObject>(std::move(bus), std::move(busName), std::move(watcher));
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
