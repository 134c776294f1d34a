// The host side works on sd-bus, like the plug-in, without a method table:
// a table fixes each reply's signature, but the host's replies vary
// (hkp_DataGet answers with one variant, or with none when the record does
// not exist), so the object takes its messages unfiltered and answers each
// one itself.
#include "dbus/host_bus.h"

#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "contract_xml.h"
#include "host/dbus/dbus_automation.h"
#include "host/dbus/sd_bus_owners.h"
#include "platform/posix/fd.h"
#include "platform/posix/sealed_memfd.h"
#include "text/utf.h"

namespace tarnweld::host {
namespace {

constexpr const char* kRejectedError = "htmlkit.HTMLKitPluginsCore.Error.Rejected";

// Each operation and its in-signature: one variant per argument.
struct MethodShape {
  std::string_view name;
  const char* inSignature;
};
constexpr std::array<MethodShape, 4> kMethods{{
    {kOpSetGlobalSuffix, "v"},
    {kOpDataAdd, "vv"},
    {kOpDataAddInt, "vv"},
    {kOpDataGet, "vv"},
}};

// A call the host answers with an error reply instead of a result.
struct CallError {
  const char* name;
  std::string message;
};

std::string errnoText(int negativeErrno) { return strerror(-negativeErrno); }

constexpr const char* kIntrospectableInterface = "org.freedesktop.DBus.Introspectable";
// The standard interfaces the object answers besides the contract's own:
// Introspect here, Ping and GetMachineId in sd-bus itself.
constexpr std::string_view kStandardInterfaces =
    "  <interface name=\"org.freedesktop.DBus.Introspectable\">\n"
    "    <method name=\"Introspect\">\n"
    "      <arg name=\"xml_data\" type=\"s\" direction=\"out\"/>\n"
    "    </method>\n"
    "  </interface>\n"
    "  <interface name=\"org.freedesktop.DBus.Peer\">\n"
    "    <method name=\"Ping\"/>\n"
    "    <method name=\"GetMachineId\">\n"
    "      <arg name=\"machine_uuid\" type=\"s\" direction=\"out\"/>\n"
    "    </method>\n"
    "  </interface>\n";

// The contract file with the standard interfaces added to its node.
const std::string& introspectionXml() {
  static const std::string xml = [] {
    std::string text(kContractXml);
    text.insert(text.rfind("</node>"), kStandardInterfaces);
    return text;
  }();
  return xml;
}

using sdbus_owners::BusPtr;
using sdbus_owners::MessagePtr;
using sdbus_owners::SlotPtr;

// Reads a string sent as a sealed memory file. It must hold what an "s"
// may: UTF-8 without NUL.
std::string readTextFile(sd_bus_message* message) {
  int fd = -1;
  posix::MappedBytes mapped;
  if (sd_bus_message_read_basic(message, SD_BUS_TYPE_UNIX_FD, &fd) <= 0 || !posix::mapSealedMemfd(fd, mapped)) {
    throw CallError{SD_BUS_ERROR_INVALID_ARGS, "a string (h) must be a memory file sealed against change"};
  }
  if (!isUtf8WithoutNul(mapped.bytes())) {
    throw CallError{SD_BUS_ERROR_INVALID_ARGS, "a string (h) must hold UTF-8 without NUL"};
  }
  return std::string(mapped.bytes());
}

// Appends `text` to `reply` as a string variant: a large one as a sealed
// memory file, like the plug-in's.
int appendString(sd_bus_message* reply, const std::string& text) {
  if (text.size() < kDbusTextByDescriptorBytes) return sd_bus_message_append(reply, "v", "s", text.c_str());
  posix::SealedMemfdWriter writer;
  writer.append(text);
  const posix::Fd file = std::move(writer).seal();
  if (!file) return -errno;
  // The message keeps a duplicate of the descriptor.
  return sd_bus_message_append(reply, "v", "h", file.get());
}

// Reads one variant argument holding a string ("s") or a 16-bit integer ("n").
RecordValue readArgument(sd_bus_message* message) {
  char type = 0;
  const char* contents = nullptr;
  if (sd_bus_message_peek_type(message, &type, &contents) <= 0 || type != SD_BUS_TYPE_VARIANT || !contents) {
    throw CallError{SD_BUS_ERROR_INVALID_ARGS, "each argument must be a variant"};
  }
  const std::string_view signature = contents;
  RecordValue value;
  int r = sd_bus_message_enter_container(message, SD_BUS_TYPE_VARIANT, contents);
  if (r > 0 && signature == "s") {
    const char* text = nullptr;
    r = sd_bus_message_read_basic(message, SD_BUS_TYPE_STRING, &text);
    value = std::string(text ? text : "");
  } else if (r > 0 && signature == "h") {
    value = readTextFile(message);
    r = 1;
  } else if (r > 0 && signature == "n") {
    std::int16_t number = 0;
    r = sd_bus_message_read_basic(message, SD_BUS_TYPE_INT16, &number);
    value = number;
  } else if (r > 0) {
    throw CallError{
        SD_BUS_ERROR_INVALID_ARGS,
        "an argument must be a string (s or h) or 16-bit integer (n) variant, not " + std::string(signature)};
  }
  if (r <= 0 || sd_bus_message_exit_container(message) < 0) {
    throw CallError{SD_BUS_ERROR_INVALID_ARGS, "unreadable argument"};
  }
  return value;
}

const std::string& requireString(const RecordValue& value, const char* what) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  throw CallError{SD_BUS_ERROR_INVALID_ARGS, std::string(what) + " must be a string variant"};
}

class SdBusHost final : public HostBus {
 public:
  SdBusHost(RecordStore& store, std::vector<RejectRule> rejects) : store_(store), rejects_(std::move(rejects)) {}

  // The loop ends before the slot, the bus and the stop descriptor go.
  ~SdBusHost() override { stop(); }

  // Returns an empty string on success, else why it failed.
  std::string open(const std::string& address) {
    int r = address.empty() ? openUser() : openAt(address);
    if (r < 0) return "cannot connect to the bus: " + errnoText(r);
    sd_bus_slot* slot = nullptr;
    r = sd_bus_add_object(bus_.get(), &slot, kDbusObjectPath, &SdBusHost::onMessage, this);
    slot_.reset(slot);
    if (r < 0) return "cannot export the host object: " + errnoText(r);
    const std::string name = std::string(kPluginsCoreProgId.ascii());
    r = requestName(name);
    if (r == -EEXIST) return name + " already has an owner on this bus (is another host running?)";
    if (r < 0) return "cannot own " + name + " on the bus: " + errnoText(r);
    stopFd_.reset(eventfd(0, EFD_CLOEXEC));
    if (!stopFd_) return std::string("cannot create an event descriptor: ") + strerror(errno);
    loop_ = std::thread([this] { serve(); });
    return {};
  }

  void stop() override {
    if (!loop_.joinable()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stopFd_.get(), &one, sizeof one);
    loop_.join();
  }

 private:
  int openUser() {
    sd_bus* bus = nullptr;
    const int r = sd_bus_open_user(&bus);
    bus_.reset(bus);
    return r;
  }

  int openAt(const std::string& address) {
    sd_bus* bus = nullptr;
    int r = sd_bus_new(&bus);
    bus_.reset(bus);
    if (r >= 0) r = sd_bus_set_address(bus_.get(), address.c_str());
    if (r >= 0) r = sd_bus_set_bus_client(bus_.get(), 1);
    if (r >= 0) r = sd_bus_start(bus_.get());
    return r;
  }

  // Takes the bus name, and returns once the bus daemon has answered. The
  // request is queued behind the connection's Hello rather than sent after
  // its answer: one round trip to the daemon, not two. Returns -EEXIST when
  // the name has another owner.
  int requestName(const std::string& name) {
    struct Answer {
      bool arrived = false;
      int result = -EIO;
    } answer;
    auto onReply = [](sd_bus_message* reply, void* userdata, sd_bus_error*) -> int {
      auto* outcome = static_cast<Answer*>(userdata);
      outcome->arrived = true;
      std::uint32_t code = 0;
      if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
        outcome->result = -sd_bus_error_get_errno(error);
      } else if (sd_bus_message_read(reply, "u", &code) < 0) {
        outcome->result = -EBADMSG;
      } else {
        // The daemon's answers: 1, now the primary owner; 3, another owns it.
        outcome->result = code == 1 ? 0 : code == 3 ? -EEXIST : -EIO;
      }
      return 0;
    };
    sd_bus_slot* pending = nullptr;
    int r = sd_bus_request_name_async(bus_.get(), &pending, name.c_str(), 0, onReply, &answer);
    const SlotPtr slot(pending);
    if (r < 0) return r;
    while (!answer.arrived) {
      r = sd_bus_process(bus_.get(), nullptr);
      if (r < 0) return r;
      if (r == 0 && (r = sd_bus_wait(bus_.get(), UINT64_MAX)) < 0 && r != -EINTR) return r;
    }
    return answer.result;
  }

  // The event loop: process what is queued, then sleep until the bus or the
  // stop descriptor has something.
  void serve() {
    for (;;) {
      const int r = sd_bus_process(bus_.get(), nullptr);
      if (r < 0) return;  // the connection is gone; the plug-in's calls fail
      if (r > 0) continue;

      std::uint64_t deadline = 0;
      int timeoutMs = -1;
      if (sd_bus_get_timeout(bus_.get(), &deadline) >= 0 && deadline != UINT64_MAX) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const std::uint64_t nowUs = static_cast<std::uint64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
        timeoutMs = deadline <= nowUs ? 0 : static_cast<int>((deadline - nowUs + 999) / 1000);
      }
      pollfd fds[2] = {{sd_bus_get_fd(bus_.get()), static_cast<short>(sd_bus_get_events(bus_.get())), 0},
                       {stopFd_.get(), POLLIN, 0}};
      if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR) return;
      if (fds[1].revents) return;
    }
  }

  static int onMessage(sd_bus_message* message, void* self, sd_bus_error*) {
    if (sd_bus_message_is_method_call(message, kIntrospectableInterface, "Introspect")) {
      sd_bus_reply_method_return(message, "s", introspectionXml().c_str());
      return 1;
    }
    if (!sd_bus_message_is_method_call(message, kDbusInterface, nullptr)) return 0;  // sd-bus answers the rest
    try {
      static_cast<SdBusHost*>(self)->handle(message);
    } catch (const CallError& error) {
      sd_bus_reply_method_errorf(message, error.name, "%s", error.message.c_str());
    } catch (const std::exception& error) {
      sd_bus_reply_method_errorf(message, SD_BUS_ERROR_FAILED, "%s", error.what());
    }
    return 1;
  }

  void handle(sd_bus_message* message) {
    const std::string_view operation = sd_bus_message_get_member(message);
    const MethodShape* shape = nullptr;
    for (const MethodShape& method : kMethods) {
      if (method.name == operation) shape = &method;
    }
    if (!shape) throw CallError{SD_BUS_ERROR_UNKNOWN_METHOD, "no such operation: " + std::string(operation)};
    if (!sd_bus_message_has_signature(message, shape->inSignature)) {
      throw CallError{SD_BUS_ERROR_INVALID_ARGS,
                      std::string(operation) + " takes the signature \"" + shape->inSignature + "\""};
    }
    const bool isSuffix = operation == kOpSetGlobalSuffix;
    const RecordValue first = readArgument(message);
    RecordValue second = isSuffix ? RecordValue{} : readArgument(message);
    const std::string& key = requireString(first, isSuffix ? "the suffix" : "the key");

    const bool secondIsInt16 = std::holds_alternative<std::int16_t>(second);
    const std::lock_guard lock(mutex_);
    ServedCall call(store_, operation, key, std::move(second));
    if (call.refusedBy(rejects_)) {
      throw CallError{kRejectedError, "the host refuses " + std::string(operation) + "(" + key + ")"};
    }
    if (operation == kOpDataAddInt && !secondIsInt16) {
      throw CallError{SD_BUS_ERROR_INVALID_ARGS,
                      "the value of " + std::string(kOpDataAddInt) + " must be a 16-bit integer variant"};
    }

    sd_bus_message* newReply = nullptr;
    int r = sd_bus_message_new_method_return(message, &newReply);
    const MessagePtr reply(newReply);
    if (r >= 0 && operation == kOpDataGet) {
      // The record's value as the host holds it; no variant when there is none.
      if (const RecordValue* value = call.answer()) {
        if (const auto* text = std::get_if<std::string>(value)) {
          r = appendString(reply.get(), *text);
        } else {
          r = sd_bus_message_append(reply.get(), "v", "n", std::get<std::int16_t>(*value));
        }
      }
    }
    if (r >= 0) r = sd_bus_send(nullptr, reply.get(), nullptr);
    if (r < 0) throw CallError{SD_BUS_ERROR_FAILED, "cannot reply: " + errnoText(r)};
    // Stored only once the reply has gone out, so a plug-in that saw its call
    // fail never finds the record stored.
    call.commit();
  }

  RecordStore& store_;
  const std::vector<RejectRule> rejects_;
  std::mutex mutex_;
  // Declared in the order they are made, so that they go in reverse.
  BusPtr bus_;
  SlotPtr slot_;
  posix::Fd stopFd_;
  std::thread loop_;
};

}  // namespace

std::unique_ptr<HostBus> HostBus::open(const std::string& address, RecordStore& store, std::vector<RejectRule> rejects,
                                       std::string& error) {
  auto bus = std::make_unique<SdBusHost>(store, std::move(rejects));
  error = bus->open(address);
  if (!error.empty()) return nullptr;
  return bus;
}

}  // namespace tarnweld::host
