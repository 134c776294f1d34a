// The session-bus backend. Every bus exchange happens inside a try block at
// the boundary of create() and invoke(): whatever the bus library throws
// becomes a null object or a failed call, so nothing reaches the caller.
#include "host/dbus/dbus_automation.h"

#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
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
#include "posix/fd.h"
#include "posix/sealed_memfd.h"
#include "text/utf.h"

namespace tarnweld {
namespace {

// The bus daemon itself, asked whether the host's name has an owner.
constexpr const char* kBusDaemonName = "org.freedesktop.DBus";
constexpr const char* kBusDaemonPath = "/org/freedesktop/DBus";
constexpr const char* kBusDaemonInterface = "org.freedesktop.DBus";
constexpr const char* kNameHasOwner = "NameHasOwner";
constexpr const char* kNameOwnerChanged = "NameOwnerChanged";

// Variant contents for the two kinds of value the host understands.
const std::string kStringSignature = "s";
const std::string kTextFileSignature = "h";
const std::string kInt16Signature = "n";

// A host call waits for its answer as long as the host is there: a host that
// leaves fails the call at once (the bus daemon answers for it), and the
// watcher ends the process besides.
constexpr std::uint64_t kNoTimeout = std::numeric_limits<std::uint64_t>::max();

using posix::Fd;
using sdbus_owners::BusPtr;
using sdbus_owners::SlotPtr;

// The plug-in has no business once its host has gone: ending the process at
// once is the only way to stop a transformation that is under way.
[[noreturn]] void hostLeft() { _exit(0); }

// Watches the host from a thread and a bus connection of its own, so that it
// sees the host leave whatever the program's thread is doing (inside a long
// transformation, or waiting for a call's answer). When the host's bus name
// loses its owner, or the connection closes, it ends the process.
class HostWatcher {
 public:
  // Starts watching `busName`. Returns nullptr when the watch cannot be set
  // up, or when the name has no owner once it is in place.
  static std::unique_ptr<HostWatcher> start(const std::string& busName) {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0) return nullptr;
    BusPtr bus(raw);

    Fd stop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (stop.get() < 0) return nullptr;

    const std::string rule = std::string("type='signal',sender='") + kBusDaemonName + "',path='" + kBusDaemonPath +
                             "',interface='" + kBusDaemonInterface + "',member='" + kNameOwnerChanged + "',arg0='" +
                             busName + "'";
    sd_bus_slot* rawSlot = nullptr;
    if (sd_bus_add_match(bus.get(), &rawSlot, rule.c_str(), &onOwnerChanged, nullptr) < 0) return nullptr;
    SlotPtr match(rawSlot);

    // The match is in place before this check, so an owner that leaves after
    // it is seen by the thread; one that left before it is seen here.
    sd_bus_message* rawReply = nullptr;
    if (sd_bus_call_method(bus.get(), kBusDaemonName, kBusDaemonPath, kBusDaemonInterface, kNameHasOwner, nullptr,
                           &rawReply, "s", busName.c_str()) < 0) {
      return nullptr;
    }
    const std::unique_ptr<sd_bus_message, decltype(&sd_bus_message_unref)> reply(rawReply, &sd_bus_message_unref);
    int hasOwner = 0;
    if (sd_bus_message_read(reply.get(), "b", &hasOwner) < 0 || !hasOwner) return nullptr;

    return std::unique_ptr<HostWatcher>(new HostWatcher(std::move(bus), std::move(match), std::move(stop)));
  }

  HostWatcher(const HostWatcher&) = delete;
  HostWatcher& operator=(const HostWatcher&) = delete;

  ~HostWatcher() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stop_.get(), &one, sizeof one);
    thread_.join();
  }

 private:
  HostWatcher(BusPtr bus, SlotPtr match, Fd&& stop)
      : bus_(std::move(bus)), match_(std::move(match)), stop_(stop.release()) {
    thread_ = std::thread([this] { watch(); });
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
  int pollTimeout() {
    std::uint64_t due = 0;
    if (sd_bus_get_timeout(bus_.get(), &due) < 0 || due == std::numeric_limits<std::uint64_t>::max()) return -1;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t nowUs =
        static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000;
    if (due <= nowUs) return 0;
    const std::uint64_t ms = (due - nowUs + 999) / 1000;
    return ms > 1'000'000 ? 1'000'000 : static_cast<int>(ms);
  }

  void watch() noexcept {
    for (;;) {
      int processed = 0;
      while ((processed = sd_bus_process(bus_.get(), nullptr)) > 0) {
      }
      if (processed < 0 || sd_bus_is_open(bus_.get()) <= 0) hostLeft();

      const int events = sd_bus_get_events(bus_.get());
      if (events < 0) hostLeft();
      pollfd fds[2] = {{sd_bus_get_fd(bus_.get()), static_cast<short>(events), 0}, {stop_.get(), POLLIN, 0}};
      if (poll(fds, 2, pollTimeout()) < 0 && errno != EINTR) return;
      if (fds[1].revents != 0) return;
    }
  }

  BusPtr bus_;
  SlotPtr match_;
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
  const auto piece = std::make_unique<char[]>((kPieceUnits + 1) * kMaxUtf8BytesPerUnit);
  for (std::u16string_view rest = text; !rest.empty();) {
    const std::u16string_view units = rest.substr(0, utf16PieceLength(rest, kPieceUnits));
    const char* end = writeUtf8WithoutNul(units, piece.get());
    if (!file.append(std::string_view(piece.get(), static_cast<std::size_t>(end - piece.get())))) return Fd();
    rest.remove_prefix(units.size());
  }
  return std::move(file).seal();
}

// Text goes out as UTF-8 with NUL and unpaired surrogates replaced, so what
// the text holds can never make the call fail.
void appendString(sdbus::MethodCall& call, std::u16string_view text) {
  // A unit is at least a byte: only a shorter text needs its size counted.
  if (text.size() >= kDbusTextByDescriptorBytes || utf8SizeWithoutNul(text) >= kDbusTextByDescriptorBytes) {
    Fd file = textFile(text);
    if (!file) throw std::bad_alloc();
    call.openVariant(kTextFileSignature);
    call << sdbus::UnixFd(file.release(), sdbus::adopt_fd);
    call.closeVariant();
    return;
  }
  call.openVariant(kStringSignature);
  call << toUtf8WithoutNul(text);
  call.closeVariant();
}

// Reads the string variant the reply is at, in either form; returns nothing
// when the next value is not one (the end of the reply included).
std::optional<std::u16string> readString(sdbus::MethodReply& reply) {
  std::string type, contents;
  reply.peekType(type, contents);
  if (type != "v" || (contents != kStringSignature && contents != kTextFileSignature)) return std::nullopt;
  reply.enterVariant(contents);
  std::u16string text;
  if (contents == kStringSignature) {
    char* value = nullptr;
    reply >> value;
    text = fromUtf8Lenient(value ? std::string_view(value) : std::string_view());
  } else {
    sdbus::UnixFd file;
    reply >> file;
    auto read = posix::readSealedUtf8(file.get());
    if (!read) throw std::runtime_error("not a readable sealed text file");
    text = std::move(*read);
  }
  reply.exitVariant();
  return text;
}

void appendArgument(sdbus::MethodCall& call, const AutomationArg& arg) {
  std::visit(Overloaded{
                 [&](std::u16string_view text) { appendString(call, text); },
                 [&](std::int16_t number) {
                   call.openVariant(kInt16Signature);
                   call << number;
                   call.closeVariant();
                 },
                 [&](StringRef ref) { appendString(call, *ref.target); },
             },
             arg);
}

class DbusAutomationObject final : public AutomationObject {
 public:
  DbusAutomationObject(std::unique_ptr<sdbus::IConnection> connection, std::unique_ptr<sdbus::IProxy> proxy,
                       std::unique_ptr<HostWatcher> watcher)
      : connection_(std::move(connection)), proxy_(std::move(proxy)), watcher_(std::move(watcher)) {}

  // refusesText keeps its default: a large text travels as a memory file,
  // which no message size bounds.

  bool invoke(std::u16string_view name, std::span<const AutomationArg> args) override {
    try {
      auto call = proxy_->createMethodCall(kDbusInterface, toUtf8WithoutNul(name));
      std::size_t refCount = 0;
      for (const AutomationArg& arg : args) {
        appendArgument(call, arg);
        if (std::holds_alternative<StringRef>(arg)) ++refCount;
      }
      auto reply = proxy_->callMethod(call, kNoTimeout);

      // The reply holds one variant per by-reference argument the host wrote,
      // in argument order. All are read before any is stored, so a reply that
      // turns out malformed leaves every argument as it was.
      std::vector<std::u16string> written;
      if (!reply.isEmpty()) {
        written.reserve(refCount);
        while (written.size() < refCount) {
          std::optional<std::u16string> text = readString(reply);
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
      // An error reply, a lost connection, a timeout, a reply of the wrong
      // shape, or no memory for the text: a failed call like any other.
      return false;
    }
  }

 private:
  // Declared first so that it outlives the proxy that borrows it.
  std::unique_ptr<sdbus::IConnection> connection_;
  std::unique_ptr<sdbus::IProxy> proxy_;
  // Declared last, so it stops first when the object is released.
  std::unique_ptr<HostWatcher> watcher_;
};

class DbusAutomationBackend final : public AutomationBackend {
 public:
  explicit DbusAutomationBackend(WhenHostLeaves whenHostLeaves) : whenHostLeaves_(whenHostLeaves) {}

  std::unique_ptr<AutomationObject> create(std::u16string_view progId) override {
    try {
      const std::string busName = toUtf8WithoutNul(progId);
      auto connection = sdbus::createSessionBusConnection();

      // Asking the bus daemon first means a missing host costs one quick
      // round trip, and no call ever starts a service by activation.
      bool hasOwner = false;
      {
        auto daemon = sdbus::createProxy(*connection, kBusDaemonName, kBusDaemonPath);
        auto query = daemon->createMethodCall(kBusDaemonInterface, kNameHasOwner);
        query << busName;
        auto reply = daemon->callMethod(query);
        reply >> hasOwner;
      }
      if (!hasOwner) return nullptr;

      // No object without the watcher: the plug-in must never outlive its host.
      std::unique_ptr<HostWatcher> watcher;
      if (whenHostLeaves_ == WhenHostLeaves::EndProcess) {
        watcher = HostWatcher::start(busName);
        if (!watcher) return nullptr;
      }

      auto proxy = sdbus::createProxy(*connection, busName, kDbusObjectPath);
      return std::make_unique<DbusAutomationObject>(std::move(connection), std::move(proxy), std::move(watcher));
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
