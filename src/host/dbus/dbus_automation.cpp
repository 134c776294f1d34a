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
#include "posix/fd.h"
#include "posix/sealed_memfd.h"
#include "text/utf.h"

namespace tarnweld {
namespace {

// The bus daemon itself, asked which connection owns the host's name.
constexpr const char* kBusDaemonName = "org.freedesktop.DBus";
constexpr const char* kBusDaemonPath = "/org/freedesktop/DBus";
constexpr const char* kBusDaemonInterface = "org.freedesktop.DBus";
constexpr const char* kGetNameOwner = "GetNameOwner";
constexpr const char* kNameOwnerChanged = "NameOwnerChanged";
// The standard interface every connection answers, asked whether the host
// takes descriptors.
constexpr const char* kPeerInterface = "org.freedesktop.DBus.Peer";
constexpr const char* kPing = "Ping";

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
    Fd stop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stop) return nullptr;
    std::string rule = std::string("type='signal',sender='") + kBusDaemonName + "',path='" + kBusDaemonPath +
                       "',interface='" + kBusDaemonInterface + "',member='" + kNameOwnerChanged + "',arg0='" + owner +
                       "'";
    return std::unique_ptr<HostWatcher>(new HostWatcher(std::move(owner), std::move(rule), std::move(stop)));
  }

  HostWatcher(const HostWatcher&) = delete;
  HostWatcher& operator=(const HostWatcher&) = delete;

  ~HostWatcher() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stop_.get(), &one, sizeof one);
    thread_.join();
  }

 private:
  HostWatcher(std::string owner, std::string rule, Fd&& stop)
      : owner_(std::move(owner)), rule_(std::move(rule)), stop_(std::move(stop)) {
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
    // The match is in place before this check, so a host that leaves after it
    // is seen by the loop; one that left before it, during the delay
    // included, is seen here: a unique name is never owned again.
    if (matched < 0 || nameOwner(bus.get(), owner_) != owner_) hostLeft();

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

// How the large texts of one call travel: as memory files, or, to a host
// that cannot take descriptors, inside the message. Notes whether a file went.
struct LargeTexts {
  bool asFiles;
  bool fileSent = false;
};

// Text goes out as UTF-8 with NUL and unpaired surrogates replaced, so what
// the text holds can never make the call fail. The message keeps a duplicate
// of a large text's descriptor. A large text that must go inside the message
// but does not fit one is not appended (false): the bus daemon would drop the
// connection that sent such a message.
bool appendString(sd_bus_message* call, std::u16string_view text, LargeTexts& large) {
  // A unit is at least a byte: only a shorter text needs its size counted.
  if (text.size() >= kDbusTextByDescriptorBytes || utf8SizeWithoutNul(text) >= kDbusTextByDescriptorBytes) {
    if (!large.asFiles) {
      if (text.size() > kDbusLargestStringBytes) return false;
      const std::string bytes = toUtf8WithoutNul(text);
      return bytes.size() <= kDbusLargestStringBytes &&
             sd_bus_message_append(call, "v", kStringSignature, bytes.c_str()) >= 0;
    }
    const Fd file = textFile(text);
    if (!file) throw std::bad_alloc();
    large.fileSent = true;
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
    // A NUL fails the call, as it fails one whose text came as an "s".
    auto read = posix::readSealedUtf8(file, posix::NulBytes::kRefuse);
    if (!read) throw std::runtime_error(read.reason());
    text = std::move(*read);
  }
  if (sd_bus_message_exit_container(reply) < 0) throw std::runtime_error("unreadable variant");
  return text;
}

bool appendArgument(sd_bus_message* call, const AutomationArg& arg, LargeTexts& large) {
  return std::visit(Overloaded{
                        [&](std::u16string_view text) { return appendString(call, text, large); },
                        [&](std::int16_t number) { return sd_bus_message_append(call, "v", "n", number) >= 0; },
                        [&](StringRef ref) { return appendString(call, *ref.target, large); },
                    },
                    arg);
}

class DbusAutomationObject final : public AutomationObject {
 public:
  // `host` is the unique name of the connection every call is addressed to.
  DbusAutomationObject(BusPtr bus, std::string host, std::unique_ptr<HostWatcher> watcher)
      : bus_(std::move(bus)), host_(std::move(host)), watcher_(std::move(watcher)) {}

  // A large text travels as a memory file, which no message size bounds; to
  // a host that cannot take descriptors it goes inside one message, which
  // bounds it.
  std::optional<std::u16string> refusesText(std::u16string_view text) const override {
    // Every unit is at most kMaxUtf8BytesPerUnit bytes: a text this short
    // fits one message, whatever the host takes, with nothing to ask.
    if (text.size() <= kDbusLargestStringBytes / kMaxUtf8BytesPerUnit || hostTakesFiles()) return std::nullopt;
    const std::size_t bytes = utf8SizeWithoutNul(text);
    if (bytes <= kDbusLargestStringBytes) return std::nullopt;
    return fromAscii("the result is " + std::to_string(bytes) + " bytes as UTF-8, over the limit of " +
                     std::to_string(kDbusLargestStringBytes) +
                     " bytes in one D-Bus message to a host that takes no file descriptors");
  }

  bool invoke(std::u16string_view name, std::span<const AutomationArg> args) override {
    try {
      const std::string method = toUtf8WithoutNul(name);
      LargeTexts large{sendsFiles() && hostTakesFiles_.value_or(true)};
      CallError error;
      MessagePtr reply;
      int called = call(method, args, large, error, reply);
      // The bus daemon refuses a descriptor for a connection that did not
      // negotiate them, and a host may refuse the argument; either way the
      // host gets the text inside the message instead.
      if (called < 0 && large.fileSent &&
          (sd_bus_error_has_name(&error.value, SD_BUS_ERROR_NOT_SUPPORTED) ||
           sd_bus_error_has_name(&error.value, SD_BUS_ERROR_INVALID_ARGS))) {
        hostTakesFiles_ = false;
        large = LargeTexts{false};
        sd_bus_error_free(&error.value);
        called = call(method, args, large, error, reply);
      }
      if (called < 0) return false;

      std::size_t refCount = 0;
      for (const AutomationArg& arg : args) {
        if (std::holds_alternative<StringRef>(arg)) ++refCount;
      }

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
  // Makes the call `method` with `args` and waits for its answer. Returns
  // what sd_bus_call does (negative on failure, `error` then says why), or
  // -EMSGSIZE, having sent nothing, when an argument cannot be appended.
  int call(const std::string& method, std::span<const AutomationArg> args, LargeTexts& large, CallError& error,
           MessagePtr& reply) {
    sd_bus_message* rawCall = nullptr;
    const int made = sd_bus_message_new_method_call(bus_.get(), &rawCall, host_.c_str(), kDbusObjectPath,
                                                    kDbusInterface, method.c_str());
    const MessagePtr message(rawCall);
    if (made < 0) return made;
    for (const AutomationArg& arg : args) {
      if (!appendArgument(message.get(), arg, large)) return -EMSGSIZE;
    }
    sd_bus_message* rawReply = nullptr;
    const int called = sd_bus_call(bus_.get(), message.get(), kNoTimeout, &error.value, &rawReply);
    reply.reset(rawReply);
    return called;
  }

  // Whether this connection can send descriptors at all.
  bool sendsFiles() const { return sd_bus_can_send(bus_.get(), SD_BUS_TYPE_UNIX_FD) > 0; }

  // Whether the host's connection takes descriptors. Unless a call has told,
  // the host is pinged with one: the bus daemon answers NotSupported for a
  // connection that cannot take it, and passes it to one that can.
  bool hostTakesFiles() const {
    if (!sendsFiles()) return false;
    if (!hostTakesFiles_) hostTakesFiles_ = pingTakesFile();
    return *hostTakesFiles_;
  }
  bool pingTakesFile() const {
    const Fd file = posix::SealedMemfdWriter().seal();
    sd_bus_message* rawPing = nullptr;
    if (!file || sd_bus_message_new_method_call(bus_.get(), &rawPing, host_.c_str(), kDbusObjectPath, kPeerInterface,
                                                kPing) < 0) {
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

  std::unique_ptr<AutomationObject> create(std::u16string_view progId) override {
    try {
      std::string busName = toUtf8WithoutNul(progId);
      sd_bus* raw = nullptr;
      const int opened = sd_bus_open_user(&raw);
      BusPtr bus(raw);
      if (opened < 0) return nullptr;

      // Asking the bus daemon first means a missing host costs one quick
      // round trip, and no call ever starts a service by activation. The
      // owner it names is the host for the whole session: calls go to that
      // connection, never to whichever takes the bus name after it.
      std::optional<std::string> owner = nameOwner(bus.get(), busName);
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
