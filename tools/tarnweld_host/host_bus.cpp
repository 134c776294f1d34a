#include "host_bus.h"

#include <sdbus-c++/sdbus-c++.h>

#include <array>
#include <mutex>

#include "host/dbus_automation.h"
#include "host/plugin_host.h"
#include "text/utf.h"

namespace tarnweld::host {
namespace {

constexpr const char* kRejectedError = "htmlkit.HTMLKitPluginsCore.Error.Rejected";
constexpr const char* kInvalidArgsError = "org.freedesktop.DBus.Error.InvalidArgs";

// The in-signatures: one variant per argument.
struct MethodShape {
  std::string_view name;
  const char* inSignature;
  const char* outSignature;  // the most a reply holds
};
constexpr std::array<MethodShape, 4> kMethods{{
    {kOpSetGlobalSuffix, "v", ""},
    {kOpDataAdd, "vv", "v"},
    {kOpDataAddInt, "vv", ""},
    {kOpDataGet, "vv", "v"},
}};

// Reads one variant argument. The bus library has already checked the call
// against the in-signature, so the next value is a variant.
RecordValue readArgument(sdbus::MethodCall& call) {
  std::string type;
  std::string contents;
  call.peekType(type, contents);
  if (contents == "s") {
    char* text = nullptr;
    call.enterVariant("s");
    call >> text;
    call.exitVariant();
    return std::string(text ? text : "");
  }
  if (contents == "n") {
    std::int16_t number = 0;
    call.enterVariant("n");
    call >> number;
    call.exitVariant();
    return number;
  }
  throw sdbus::Error(kInvalidArgsError,
                     "an argument must be a string (s) or 16-bit integer (n) variant, not " + contents);
}

const std::string& requireString(const RecordValue& value, const char* what) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  throw sdbus::Error(kInvalidArgsError, std::string(what) + " must be a string variant");
}

class SdbusHostBus final : public HostBus {
 public:
  SdbusHostBus(RecordStore& store, std::vector<RejectRule> rejects) : store_(store), rejects_(std::move(rejects)) {}

  ~SdbusHostBus() override { stop(); }

  void open(const std::string& address) {
    connection_ =
        address.empty() ? sdbus::createSessionBusConnection() : sdbus::createSessionBusConnectionWithAddress(address);
    object_ = sdbus::createObject(*connection_, kDbusObjectPath);
    for (const MethodShape& method : kMethods) {
      object_->registerMethod(kDbusInterface, std::string(method.name), method.inSignature, method.outSignature,
                              [this, name = method.name](sdbus::MethodCall call) { handle(name, call); });
    }
    object_->finishRegistration();
    connection_->requestName(toUtf8(kPluginsCoreProgId));
    connection_->enterEventLoopAsync();
    serving_ = true;
  }

  void stop() override {
    if (serving_) connection_->leaveEventLoop();
    serving_ = false;
  }

 private:
  void handle(std::string_view operation, sdbus::MethodCall& call) {
    const RecordValue first = readArgument(call);
    const bool hasSecond = operation != kOpSetGlobalSuffix;
    RecordValue second = hasSecond ? readArgument(call) : RecordValue{};

    const std::lock_guard lock(mutex_);
    const std::string& key = requireString(first, operation == kOpSetGlobalSuffix ? "the suffix" : "the key");
    HostCall logged{std::string(operation), operation == kOpSetGlobalSuffix ? std::string() : store_.storedKey(key),
                    RecordValue{}};
    // The log copies a value only when it keeps calls at all, so a large
    // OUTPUT is moved into the store and never copied.
    if (store_.keepsCalls() && operation != kOpDataGet) {
      logged.value = operation == kOpSetGlobalSuffix ? first : second;
    }

    for (const RejectRule& rule : rejects_) {
      if (rejects(rule, operation, key)) {
        logged.rejected = true;
        store_.logCall(std::move(logged));
        throw sdbus::Error(kRejectedError, "the host refuses " + std::string(operation) + "(" + key + ")");
      }
    }

    auto reply = call.createReply();
    if (operation == kOpSetGlobalSuffix) {
      store_.setSuffix(key);
    } else if (operation == kOpDataGet) {
      if (const RecordValue* value = store_.find(logged.key)) appendValue(reply, *value);
    } else {
      if (operation == kOpDataAddInt && !std::holds_alternative<std::int16_t>(second)) {
        throw sdbus::Error(kInvalidArgsError, "the value of hkp_DataAddInt must be a 16-bit integer variant");
      }
      store_.add(logged.key, std::move(second));
    }
    store_.logCall(std::move(logged));
    reply.send();
  }

  static void appendValue(sdbus::MethodReply& reply, const RecordValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
      reply.openVariant("s");
      reply << *text;
    } else {
      reply.openVariant("n");
      reply << std::get<std::int16_t>(value);
    }
    reply.closeVariant();
  }

  RecordStore& store_;
  const std::vector<RejectRule> rejects_;
  std::mutex mutex_;
  std::unique_ptr<sdbus::IConnection> connection_;
  std::unique_ptr<sdbus::IObject> object_;
  bool serving_ = false;
};

}  // namespace

std::unique_ptr<HostBus> HostBus::open(const std::string& address, RecordStore& store, std::vector<RejectRule> rejects,
                                       std::string& error) {
  auto bus = std::make_unique<SdbusHostBus>(store, std::move(rejects));
  try {
    bus->open(address);
    return bus;
  } catch (const sdbus::Error& e) {
    error = "cannot serve " + toUtf8(kPluginsCoreProgId) + " on the bus: " + e.getMessage();
    if (e.getName() == "org.freedesktop.DBus.Error.FileExists" ||
        e.getMessage().find("File exists") != std::string::npos) {
      error = toUtf8(kPluginsCoreProgId) + " already has an owner on this bus (is another host running?)";
    }
  } catch (const std::exception& e) {
    error = std::string("cannot serve on the bus: ") + e.what();
  }
  return nullptr;
}

}  // namespace tarnweld::host
