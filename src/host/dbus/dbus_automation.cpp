// The session-bus backend, on sd-bus. Every bus exchange happens inside a try
// block at the boundary of create() and invoke(): whatever goes wrong becomes
// a null object or a failed call, so nothing reaches the caller.
#include "host/dbus/dbus_automation.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/dbus/sd_bus_owners.h"
#include "platform/posix/fd.h"
#include "platform/posix/sealed_memfd.h"
#include "text/utf.h"

namespace tarnweld {
namespace {

// The bus daemon itself, asked which connection owns the host's name.
constexpr const char* kBusDaemonName = "org.freedesktop.DBus";
constexpr const char* kBusDaemonPath = "/org/freedesktop/DBus";
constexpr const char* kBusDaemonInterface = "org.freedesktop.DBus";
constexpr const char* kGetNameOwner = "GetNameOwner";
constexpr const char* kNameOwnerChanged = "NameOwnerChanged";

// Variant contents for the two kinds of value the host understands.
constexpr const char* kStringSignature = "s";
constexpr const char* kTextFileSignature = "h";

// A host call waits for its answer as long as the host is there: a host that
// leaves fails the call at once (the bus daemon answers for it), and the
// watcher ends the process besides.
constexpr std::uint64_t kNoTimeout = std::numeric_limits<std::uint64_t>::max();
// The bus daemon's own answers come within the library's default time.
constexpr std::uint64_t kDefaultTimeout = 0;

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

// Asks the bus daemon, on a connection just opened, which connection owns
// `busName`. The question is queued behind the connection's greeting rather
// than sent after its answer, so it costs one round trip, not two. Returns
// the owner's unique name; nothing when the name has no owner, or the answer
// cannot be had.
std::optional<std::string> nameOwner(sd_bus* bus, const std::string& busName) {
  struct Answer {
    bool arrived = false;
    MessagePtr reply;
  } answer;
  auto onReply = [](sd_bus_message* reply, void* userdata, sd_bus_error*) -> int {
    auto* result = static_cast<Answer*>(userdata);
    result->arrived = true;
    if (!sd_bus_message_is_method_error(reply, nullptr)) result->reply.reset(sd_bus_message_ref(reply));
    return 0;
  };

  sd_bus_message* rawQuery = nullptr;
  int r = sd_bus_message_new_method_call(bus, &rawQuery, kBusDaemonName, kBusDaemonPath, kBusDaemonInterface,
                                         kGetNameOwner);
  const MessagePtr query(rawQuery);
  if (r < 0 || sd_bus_message_append(query.get(), "s", busName.c_str()) < 0) return std::nullopt;
  sd_bus_slot* rawSlot = nullptr;
  r = sd_bus_call_async(bus, &rawSlot, query.get(), onReply, &answer, kDefaultTimeout);
  const SlotPtr pending(rawSlot);
  if (r < 0) return std::nullopt;
  while (!answer.arrived) {
    r = sd_bus_process(bus, nullptr);
    if (r < 0) return std::nullopt;
    if (r == 0 && (r = sd_bus_wait(bus, std::numeric_limits<std::uint64_t>::max())) < 0 && r != -EINTR) {
      return std::nullopt;
    }
  }
  const char* owner = nullptr;
  if (!answer.reply || sd_bus_message_read(answer.reply.get(), "s", &owner) < 0 || !owner) return std::nullopt;
  return std::string(owner);
}

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
    std::string rule = std::string("type='signal',sender='") + kBusDaemonName + "',path='" + kBusDaemonPath +
                       "',interface='" + kBusDaemonInterface + "',member='" + kNameOwnerChanged + "',arg0='" + busName +
                       "'";
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

  // Milliseconds until the bus connection next needs attention, for poll.
  static int pollTimeout(sd_bus* bus) {
    std::uint64_t due = 0;
    if (sd_bus_get_timeout(bus, &due) < 0 || due == std::numeric_limits<std::uint64_t>::max()) return -1;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t nowUs =
        static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000;
    if (due <= nowUs) return 0;
    const std::uint64_t ms = (due - nowUs + 999) / 1000;
    return ms > 1'000'000 ? 1'000'000 : static_cast<int>(ms);
  }

  // Sleeps until the delay has passed (true) or the watcher is stopped (false).
  bool delayPasses() {
    const auto until = std::chrono::steady_clock::now() + kWatchDelay;
    for (;;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) return true;
      pollfd stop{stop_.get(), POLLIN, 0};
      const int polled = poll(&stop, 1, static_cast<int>(left.count()));
      if (polled > 0) return false;
      if (polled < 0 && errno != EINTR) return true;
    }
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
    if (matched < 0 || nameOwner(bus.get(), busName_) != owner_) hostLeft();

    for (;;) {
      int processed = 0;
      while ((processed = sd_bus_process(bus.get(), nullptr)) > 0) {
      }
      if (processed < 0 || sd_bus_is_open(bus.get()) <= 0) hostLeft();

      const int events = sd_bus_get_events(bus.get());
      if (events < 0) hostLeft();
      pollfd fds[2] = {{sd_bus_get_fd(bus.get()), static_cast<short>(events), 0}, {stop_.get(), POLLIN, 0}};
      if (poll(fds, 2, pollTimeout(bus.get())) < 0 && errno != EINTR) return;
      if (fds[1].revents != 0) return;
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

// A large text into a sealed memory file, encoded a piece at a time: no UTF-8
// copy of the whole text is ever in memory beside it.
Fd textFile(std::u16string_view text) {
  constexpr std::size_t kPieceUnits = std::size_t{64} << 10;
  posix::SealedMemfdWriter file;
  const auto piece = std::make_unique_for_overwrite<char[]>((kPieceUnits + 1) * kMaxUtf8BytesPerUnit);
  for (std::u16string_view rest = text; !rest.empty();) {
    const std::u16string_view units = rest.substr(0, utf16PieceLength(rest, kPieceUnits));
    const char* end = writeUtf8WithoutNul(units, piece.get());
    if (!file.append(std::string_view(piece.get(), static_cast<std::size_t>(end - piece.get())))) return Fd();
    rest.remove_prefix(units.size());
  }
  return std::move(file).seal();
}

// Text goes out as UTF-8 with NUL and unpaired surrogates replaced, so what
// the text holds can never make the call fail. The message keeps a duplicate
// of a large text's descriptor.
bool appendString(sd_bus_message* call, std::u16string_view text) {
  // A unit is at least a byte: only a shorter text needs its size counted.
  if (text.size() >= kDbusTextByDescriptorBytes || utf8SizeWithoutNul(text) >= kDbusTextByDescriptorBytes) {
    const Fd file = textFile(text);
    if (!file) throw std::bad_alloc();
    return sd_bus_message_append(call, "v", kTextFileSignature, file.get()) >= 0;
  }
  return sd_bus_message_append(call, "v", kStringSignature, toUtf8WithoutNul(text).c_str()) >= 0;
}

// Reads the string variant the reply is at, in either form; returns nothing
// when the next value is not one (the end of the reply included). Throws when
// the value cannot be read.
std::optional<std::u16string> readString(sd_bus_message* reply) {
  char type = 0;
  const char* contents = nullptr;
  if (sd_bus_message_peek_type(reply, &type, &contents) <= 0 || type != SD_BUS_TYPE_VARIANT || !contents) {
    return std::nullopt;
  }
  const std::string_view signature = contents;
  if (signature != kStringSignature && signature != kTextFileSignature) return std::nullopt;
  if (sd_bus_message_enter_container(reply, SD_BUS_TYPE_VARIANT, contents) <= 0) {
    throw std::runtime_error("unreadable variant");
  }
  std::u16string text;
  if (signature == kStringSignature) {
    const char* value = nullptr;
    if (sd_bus_message_read_basic(reply, SD_BUS_TYPE_STRING, &value) <= 0) throw std::runtime_error("unreadable text");
    text = fromUtf8Lenient(value ? std::string_view(value) : std::string_view());
  } else {
    // The descriptor stays the message's.
    int file = -1;
    if (sd_bus_message_read_basic(reply, SD_BUS_TYPE_UNIX_FD, &file) <= 0) throw std::runtime_error("unreadable text");
    auto read = posix::readSealedUtf8(file);
    if (!read) throw std::runtime_error("not a readable sealed text file");
    text = std::move(*read);
  }
  if (sd_bus_message_exit_container(reply) < 0) throw std::runtime_error("unreadable variant");
  return text;
}

bool appendArgument(sd_bus_message* call, const AutomationArg& arg) {
  return std::visit(Overloaded{
                        [&](std::u16string_view text) { return appendString(call, text); },
                        [&](std::int16_t number) { return sd_bus_message_append(call, "v", "n", number) >= 0; },
                        [&](StringRef ref) { return appendString(call, *ref.target); },
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
      const int made = sd_bus_message_new_method_call(bus_.get(), &rawCall, busName_.c_str(), kDbusObjectPath,
                                                      kDbusInterface, toUtf8WithoutNul(name).c_str());
      const MessagePtr call(rawCall);
      if (made < 0) return false;
      std::size_t refCount = 0;
      for (const AutomationArg& arg : args) {
        if (!appendArgument(call.get(), arg)) return false;
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
          std::optional<std::u16string> text = readString(reply.get());
          // The end of the reply and a value that is not a string variant
          // are alike: before the first value that is a malformed reply;
          // after it, the host wrote no more.
          if (!text && written.empty()) return false;
          if (!text) break;
          written.push_back(std::move(*text));
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
      std::optional<std::string> owner = nameOwner(bus.get(), busName);
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
