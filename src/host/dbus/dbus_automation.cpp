// The session-bus backend. Every bus exchange happens inside a try block at
// the boundary of create() and invoke(): whatever the bus library throws
// becomes a null object or a failed call, so nothing reaches the caller.
#include "host/dbus/dbus_automation.h"

#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "text/utf.h"

namespace tarnweld {
namespace {

// The bus daemon itself, asked whether the host's name has an owner.
constexpr const char* kBusDaemonName = "org.freedesktop.DBus";
constexpr const char* kBusDaemonPath = "/org/freedesktop/DBus";
constexpr const char* kBusDaemonInterface = "org.freedesktop.DBus";
constexpr const char* kNameHasOwner = "NameHasOwner";

// Variant contents for the two kinds of value the host understands.
const std::string kStringSignature = "s";
const std::string kInt16Signature = "n";

std::uint64_t callTimeoutMicroseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(kDbusCallTimeout).count());
}

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// Text goes out as UTF-8 with NUL and unpaired surrogates replaced, so what
// the text holds can never make the call fail.
void appendString(sdbus::MethodCall& call, std::u16string_view text) {
  call.openVariant(kStringSignature);
  call << toUtf8WithoutNul(text);
  call.closeVariant();
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
  DbusAutomationObject(std::unique_ptr<sdbus::IConnection> connection, std::unique_ptr<sdbus::IProxy> proxy)
      : connection_(std::move(connection)), proxy_(std::move(proxy)) {}

  bool invoke(std::u16string_view name, std::span<const AutomationArg> args) override {
    try {
      auto call = proxy_->createMethodCall(kDbusInterface, toUtf8WithoutNul(name));
      std::size_t refCount = 0;
      for (const AutomationArg& arg : args) {
        appendArgument(call, arg);
        if (std::holds_alternative<StringRef>(arg)) ++refCount;
      }
      auto reply = proxy_->callMethod(call, callTimeoutMicroseconds());

      // The reply holds one variant per by-reference argument the host wrote,
      // in argument order. All are read before any is stored, so a reply that
      // turns out malformed leaves every argument as it was.
      std::vector<std::u16string> written;
      if (!reply.isEmpty()) {
        written.reserve(refCount);
        while (written.size() < refCount) {
          try {
            reply.enterVariant(kStringSignature);
          } catch (const sdbus::Error&) {
            // The bus library reports the end of the reply and a value that
            // is not a string variant alike. Before the first value that is
            // a malformed reply; after it, the host wrote no more.
            if (written.empty()) throw;
            break;
          }
          char* text = nullptr;
          reply >> text;
          reply.exitVariant();
          written.push_back(fromUtf8Lenient(text ? std::string_view(text) : std::string_view()));
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
};

class DbusAutomationBackend final : public AutomationBackend {
 public:
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
        auto reply = daemon->callMethod(query, callTimeoutMicroseconds());
        reply >> hasOwner;
      }
      if (!hasOwner) return nullptr;

      auto proxy = sdbus::createProxy(*connection, busName, kDbusObjectPath);
      return std::make_unique<DbusAutomationObject>(std::move(connection), std::move(proxy));
    } catch (...) {
      return nullptr;
    }
  }
};

}  // namespace

std::unique_ptr<AutomationBackend> makeDbusAutomationBackend() { return std::make_unique<DbusAutomationBackend>(); }

}  // namespace tarnweld
