// The host side works on sd-bus, like the plug-in, without a method table:
// a table fixes each reply's signature, but the host's replies vary
// (hkp_DataGet answers with one variant, or with none when the record does
// not exist), so the object takes its messages unfiltered and answers each
// one itself.
#include "dbus/host_bus.h"

#include <systemd/sd-bus.h>

#include <array>
#include <memory>
#include <mutex>
#include <optional>

#include "contract_xml.h"
#include "document_text.h"
#include "host/dbus/wire/bus_wire.h"
#include "host/dbus/wire/sd_bus_owners.h"
#include "platform/posix/errno_text.h"
#include "platform/posix/fd.h"
#include "platform/posix/sealed_memfd.h"
#include "platform/posix/stop_signal.h"
#include "plugin_session.h"
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

using posix::errnoText;

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

// A string kept in a sealed memory file, mapped: one that arrived that way,
// or a large record of the stand-in's own, whose file it also keeps to pass on.
class MappedText final : public SharedText {
 public:
  explicit MappedText(posix::MappedBytes mapped, posix::Fd file = {})
      : mapped_(std::move(mapped)), file_(std::move(file)) {}
  std::string_view bytes() const override { return mapped_.bytes(); }
  int file() const override { return file_ ? file_.get() : -1; }

 private:
  posix::MappedBytes mapped_;
  posix::Fd file_;
};

// Appends a record's string as any string goes; a shared file goes as it
// stands when the string goes as a file.
Status appendRecordText(sd_bus_message* reply, const RecordValue& value, std::string_view text) {
  const auto* shared = std::get_if<std::shared_ptr<const SharedText>>(&value);
  return dbus_wire::appendUtf8(reply, text, shared ? (*shared)->file() : -1);
}

// Reads one variant argument holding a string ("s", or "h": a sealed memory
// file that must hold what an "s" may, UTF-8 without NUL) or a 16-bit
// integer ("n").
// Fails, saying why, when it is not such an argument.
Result<RecordValue> readArgument(sd_bus_message* message) {
  const Result<dbus_wire::WireValue> value = dbus_wire::readVariant(message);
  if (!value) return value.failure();
  switch (value->kind) {
    case dbus_wire::WireValue::Kind::kString:
      return RecordValue(std::string(value->string));
    case dbus_wire::WireValue::Kind::kTextFile: {
      posix::MappedBytes mapped;
      if (!posix::mapSealedMemfd(value->file, mapped)) {
        return fail("a string (h) must be a memory file sealed against change");
      }
      // The one check of what arrives: the file is sealed, so its mapping is
      // kept as the string, neither copied nor checked again.
      const Utf8Scan scan = scanUtf8(mapped.bytes(), kMaxTextUnits);
      if (scan.stop == Utf8Scan::Stop::kTooLong) {
        return fail("a string (h) may hold at most " + std::to_string(kMaxTextUnits) + " UTF-16 units");
      }
      if (scan.stop != Utf8Scan::Stop::kEnd) return fail("a string (h) must hold UTF-8 without NUL");
      // The file goes with its mapping, so that the record passes it on as it
      // is when it is read back.
      posix::Fd file(fcntl(value->file, F_DUPFD_CLOEXEC, 0));
      if (!file) return fail("cannot keep a string (h): " + errnoText(errno));
      return RecordValue(std::make_shared<const MappedText>(std::move(mapped), std::move(file)));
    }
    case dbus_wire::WireValue::Kind::kInt16:
      break;
  }
  return RecordValue(value->number);
}

// Whether any argument of the call is a variant "h"; the message is read
// again from its start afterwards.
bool holdsFile(sd_bus_message* message) {
  bool file = false;
  char type = 0;
  const char* contents = nullptr;
  while (sd_bus_message_peek_type(message, &type, &contents) > 0) {
    file = file ||
           (type == SD_BUS_TYPE_VARIANT && contents && std::string_view(contents) == dbus_wire::kTextFileSignature);
    if (sd_bus_message_skip(message, nullptr) < 0) break;
  }
  sd_bus_message_rewind(message, 1);
  return file;
}

class SdBusHost final : public HostBus {
 public:
  SdBusHost(RecordStore& store, std::vector<RejectRule> rejects) : store_(store), rejects_(std::move(rejects)) {}

  // The loop ends before the slot, the bus and the stop descriptor go.
  ~SdBusHost() override { stop(); }

  Status open(const std::string& address, FdPassing fdPassing) {
    fdPassing_ = fdPassing;
    int r = address.empty() ? openUser() : openAt(address, fdPassing);
    if (r < 0) return fail("cannot connect to the bus: " + errnoText(r));
    sd_bus_slot* slot = nullptr;
    r = sd_bus_add_object(bus_.get(), &slot, dbus_wire::kObjectPath, &SdBusHost::onMessage, this);
    slot_.reset(slot);
    if (r < 0) return fail("cannot export the host object: " + errnoText(r));
    if (Status owned = dbus_wire::requestName(bus_.get(), std::string(kPluginsCoreProgId.ascii())); !owned) {
      return owned;
    }
    return loop_.start([this](int stop) { serve(stop); });
  }

  void stop() override { loop_.stop(); }

 private:
  int openUser() {
    sd_bus* bus = nullptr;
    const int r = sd_bus_open_user(&bus);
    bus_.reset(bus);
    return r;
  }

  int openAt(const std::string& address, FdPassing fdPassing) {
    sd_bus* bus = nullptr;
    int r = sd_bus_new(&bus);
    bus_.reset(bus);
    if (r >= 0) r = sd_bus_set_address(bus_.get(), address.c_str());
    if (r >= 0 && fdPassing == FdPassing::kRefuse) r = sd_bus_negotiate_fds(bus_.get(), 0);
    if (r >= 0) r = sd_bus_set_bus_client(bus_.get(), 1);
    if (r >= 0) r = sd_bus_start(bus_.get());
    return r;
  }

  // The event loop: process what is queued, then sleep until the bus or the
  // stop descriptor has something. A lost connection ends it: the plug-in's
  // calls then fail.
  void serve(int stop) {
    for (;;) {
      const Result<posix::WaitEnd> waited = dbus_wire::serveOnce(bus_.get(), stop);
      if (!waited || *waited == posix::WaitEnd::kStopped) return;
    }
  }

  static int onMessage(sd_bus_message* message, void* self, sd_bus_error*) {
    if (sd_bus_message_is_method_call(message, kIntrospectableInterface, "Introspect")) {
      sd_bus_reply_method_return(message, "s", introspectionXml().c_str());
      return 1;
    }
    if (!sd_bus_message_is_method_call(message, dbus_wire::kInterface, nullptr)) return 0;  // sd-bus answers the rest
    // Memory that runs out fails the call like any other failure to reply;
    // nothing is thrown back into sd-bus.
    std::optional<CallError> error;
    try {
      error = static_cast<SdBusHost*>(self)->handle(message);
    } catch (const std::exception& thrown) {
      error = CallError{SD_BUS_ERROR_FAILED, thrown.what()};
    }
    if (error) sd_bus_reply_method_errorf(message, error->name, "%s", error->message.c_str());
    return 1;
  }

  // Answers the call; nothing when the reply has gone out, else the error
  // reply to send instead.
  std::optional<CallError> handle(sd_bus_message* message) {
    const std::string_view operation = sd_bus_message_get_member(message);
    const MethodShape* shape = nullptr;
    for (const MethodShape& method : kMethods) {
      if (method.name == operation) shape = &method;
    }
    if (!shape) return CallError{SD_BUS_ERROR_UNKNOWN_METHOD, "no such operation: " + std::string(operation)};
    if (!sd_bus_message_has_signature(message, shape->inSignature)) {
      return CallError{SD_BUS_ERROR_INVALID_ARGS,
                       std::string(operation) + " takes the signature \"" + shape->inSignature + "\""};
    }
    const bool isSuffix = operation == kOpSetGlobalSuffix;
    if (fdPassing_ == FdPassing::kRefuseArguments && holdsFile(message)) {
      return CallError{SD_BUS_ERROR_INVALID_ARGS, "this host takes no string as a file descriptor"};
    }
    Result<RecordValue> first = readArgument(message);
    if (!first) return CallError{SD_BUS_ERROR_INVALID_ARGS, first.reason()};
    Result<RecordValue> second = isSuffix ? Result<RecordValue>(RecordValue{}) : readArgument(message);
    if (!second) return CallError{SD_BUS_ERROR_INVALID_ARGS, second.reason()};
    const std::optional<std::string_view> keyText = stringOf(*first);
    const std::optional<std::string> key = keyText ? std::optional<std::string>(*keyText) : std::nullopt;
    if (!key) {
      return CallError{SD_BUS_ERROR_INVALID_ARGS,
                       std::string(isSuffix ? "the suffix" : "the key") + " must be a string variant"};
    }

    const bool secondIsInt16 = std::holds_alternative<std::int16_t>(*second);
    const std::lock_guard lock(mutex_);
    ServedCall call(store_, operation, *key, std::move(*second));
    if (call.refusedBy(rejects_)) {
      return CallError{kRejectedError, "the host refuses " + std::string(operation) + "(" + *key + ")"};
    }
    if (operation == kOpDataAddInt && !secondIsInt16) {
      return CallError{SD_BUS_ERROR_INVALID_ARGS,
                       "the value of " + std::string(kOpDataAddInt) + " must be a 16-bit integer variant"};
    }

    sd_bus_message* newReply = nullptr;
    int r = sd_bus_message_new_method_return(message, &newReply);
    const MessagePtr reply(newReply);
    if (r >= 0 && operation == kOpDataGet) {
      // The record's value as the host holds it; no variant when there is none.
      if (const RecordValue* value = call.answer()) {
        const std::optional<std::string_view> text = stringOf(*value);
        const Status appended = text ? appendRecordText(reply.get(), *value, *text)
                                     : dbus_wire::appendInt16(reply.get(), std::get<std::int16_t>(*value));
        if (!appended) return CallError{SD_BUS_ERROR_FAILED, "cannot reply: " + appended.reason()};
      }
    }
    if (r >= 0) r = sd_bus_send(nullptr, reply.get(), nullptr);
    if (r < 0) return CallError{SD_BUS_ERROR_FAILED, "cannot reply: " + errnoText(r)};
    // Stored only once the reply has gone out, so a plug-in that saw its call
    // fail never finds the record stored.
    call.commit();
    return std::nullopt;
  }

  RecordStore& store_;
  const std::vector<RejectRule> rejects_;
  FdPassing fdPassing_ = FdPassing::kNegotiate;
  std::mutex mutex_;
  // Declared in the order they are made, so that they go in reverse.
  BusPtr bus_;
  SlotPtr slot_;
  posix::StoppableThread loop_;
};

}  // namespace

Result<std::unique_ptr<HostBus>> HostBus::open(const std::string& address, RecordStore& store,
                                               std::vector<RejectRule> rejects, FdPassing fdPassing) {
  auto bus = std::make_unique<SdBusHost>(store, std::move(rejects));
  if (const Status opened = bus->open(address, fdPassing); !opened) return opened.failure();
  return std::unique_ptr<HostBus>(std::move(bus));
}

namespace {

// Writes a record into a memory file of its own, which the record then holds
// mapped and passes on as it stands.
class MemfdTextWriter final : public SharedTextWriter {
 public:
  bool append(std::string_view bytes) override {
    if (!failed_ && !writer_.append(bytes)) {
      failed_ = true;
      error_ = errno;
    }
    return !failed_;
  }

  Result<RecordValue> finish() override {
    if (!failed_) {
      posix::Fd file = std::move(writer_).seal();
      posix::MappedBytes mapped;
      if (file && posix::mapSealedMemfd(file.get(), mapped)) {
        return RecordValue(std::make_shared<const MappedText>(std::move(mapped), std::move(file)));
      }
      error_ = errno;
    }
    return fail("cannot keep the text in a memory file: " + std::string(strerror(error_)));
  }

 private:
  posix::SealedMemfdWriter writer_;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace

std::unique_ptr<SharedTextWriter> newSharedTextWriter() { return std::make_unique<MemfdTextWriter>(); }

RecordValue shareText(std::string text) {
  if (text.size() < dbus_wire::kTextByDescriptorBytes) return text;
  posix::SealedMemfdWriter writer;
  writer.append(text);
  posix::Fd file = std::move(writer).seal();
  posix::MappedBytes mapped;
  // Without a file the string is served as it is.
  if (!file || !posix::mapSealedMemfd(file.get(), mapped)) return text;
  return std::make_shared<const MappedText>(std::move(mapped), std::move(file));
}

}  // namespace tarnweld::host
