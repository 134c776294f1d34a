#include "host/com/com_automation.h"

#include <limits>
#include <type_traits>
#include <vector>

#include "platform/windows/com.h"

namespace tarnweld {
namespace {

using win::Bstr;
using win::ComPtr;
using win::Variant;

// The arguments of one call as VARIANTs, in the order DISPPARAMS wants them
// (last argument first), with one BSTR slot per by-reference string. A slot
// holds the caller's value on the way in and whatever the host left there on
// the way out, and frees it in every case.
class CallArguments {
 public:
  explicit CallArguments(std::span<const AutomationArg> args) {
    slots_.reserve(args.size());  // the variants point into the slots: no reallocation
    variants_.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
      variants_.push_back(std::visit(
          [this](const auto& arg) {
            using T = std::decay_t<decltype(arg)>;
            if constexpr (std::is_same_v<T, std::u16string_view>) {
              return Variant::string(arg);
            } else if constexpr (std::is_same_v<T, std::int16_t>) {
              return Variant::int16(arg);
            } else {
              return Variant::stringRef(slots_.emplace_back(*arg.target));
            }
          },
          *it));
    }
  }

  DISPPARAMS params() {
    // A Variant is laid out as a VARIANT, so the vector is the array COM reads.
    static_assert(sizeof(Variant) == sizeof(VARIANT));
    DISPPARAMS params{};
    params.rgvarg = variants_.empty() ? nullptr : variants_.front().get();
    params.cArgs = static_cast<UINT>(variants_.size());
    return params;
  }

  // Hands each by-reference string what its slot now holds.
  void readBack(std::span<const AutomationArg> args) const {
    auto slot = slots_.rbegin();  // the slots were filled from the last argument back
    for (const AutomationArg& arg : args) {
      if (const auto* ref = std::get_if<StringRef>(&arg)) *ref->target = (slot++)->str();
    }
  }

 private:
  std::vector<Bstr> slots_;
  std::vector<Variant> variants_;
};

class ComAutomationObject final : public AutomationObject {
 public:
  explicit ComAutomationObject(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

  bool invoke(std::u16string_view name, std::span<const AutomationArg> args) override try {
    if (args.size() > std::numeric_limits<UINT>::max()) return false;
    // The host binds its methods by name: looked up again on every call.
    std::u16string terminated(name);
    LPOLESTR names[] = {win::wide(terminated.data())};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;

    CallArguments arguments(args);
    DISPPARAMS params = arguments.params();
    Variant result;
    win::ExcepInfo exception;
    UINT argError = 0;
    if (FAILED(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.get(),
                                 exception.get(), &argError)))
      return false;
    arguments.readBack(args);
    return true;
  } catch (...) {
    return false;
  }

 private:
  ComPtr<IDispatch> dispatch_;
};

class ComAutomationBackend final : public AutomationBackend {
 public:
  std::unique_ptr<AutomationObject> create(std::u16string_view progId) override try {
    const std::u16string terminated(progId);
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(win::wide(terminated.c_str()), &clsid))) return nullptr;
    ComPtr<IDispatch> dispatch;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, dispatch.putVoid()))) return nullptr;
    return std::make_unique<ComAutomationObject>(std::move(dispatch));
  } catch (...) {
    return nullptr;
  }
};

}  // namespace

std::unique_ptr<AutomationBackend> makeComAutomationBackend() { return std::make_unique<ComAutomationBackend>(); }

}  // namespace tarnweld
