// The plug-in session on Windows: the host object is a COM object offered
// under the host's ProgID while the plug-in runs, and the plug-in a process
// started with its switch. The calls arrive on this thread while it waits for
// the plug-in (a single-threaded apartment dispatches them there), so the
// record store needs no lock.
// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "core/names.h"
#include "platform/windows/com.h"
#include "platform/windows/com_server.h"
#include "platform/windows/command_line.h"
#include "platform/windows/handle.h"
#include "platform/windows/process_facts.h"
#include "plugin_session.h"
#include "text/utf.h"

namespace tarnweld::host {
namespace {

using win::Variant;

constexpr std::u16string_view kDefaultPluginName = u"tarnweld.exe";

// The standard streams in binary mode before main runs, as on Linux: the
// register listing and OUTPUT are printed byte for byte, a document read
// from stdin likewise, with no LF turned into CR LF.
const bool kBinaryStreams = _setmode(_fileno(stdin), _O_BINARY) != -1 && _setmode(_fileno(stdout), _O_BINARY) != -1;

// The operations by dispatch id (1-based) and the number of arguments each takes.
struct Operation {
  std::string_view name;
  UINT argCount;
};
constexpr Operation kOperations[] = {{kOpSetGlobalSuffix, 1}, {kOpDataAdd, 2}, {kOpDataAddInt, 2}, {kOpDataGet, 2}};

// One argument as the store keeps it: a 16-bit integer stays one, anything
// else is read as text.
std::optional<RecordValue> readArgument(VARIANT& arg) {
  if ((arg.vt & ~VT_BYREF) == VT_I2) return RecordValue{arg.vt & VT_BYREF ? *arg.piVal : arg.iVal};
  Variant text;
  if (FAILED(VariantChangeType(text.get(), &arg, 0, VT_BSTR))) return std::nullopt;
  return RecordValue{toUtf8(win::bstrText(text.get()->bstrVal))};
}

class HostObject final : public ComObject<IDispatch> {
 public:
  HostObject(RecordStore& store, const std::vector<RejectRule>& rejects) : store_(store), rejects_(rejects) {}

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  // Automation names match without regard to case.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    std::fill_n(ids, count, DISPID_UNKNOWN);
    const std::u16string name = win::u16(names[0]);
    for (std::size_t i = 0; i < std::size(kOperations); ++i) {
      const std::u16string known = fromAscii(kOperations[i].name);
      if (CompareStringOrdinal(win::wide(known.c_str()), -1, names[0], -1, TRUE) == CSTR_EQUAL && count == 1) {
        ids[0] = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    }
    return DISP_E_UNKNOWNNAME;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO* exception, UINT*) override try {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (id < 1 || id > static_cast<DISPID>(std::size(kOperations)) || !(flags & DISPATCH_METHOD)) {
      return DISP_E_MEMBERNOTFOUND;
    }
    const Operation& op = kOperations[id - 1];
    if (!params || params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != op.argCount) return DISP_E_BADPARAMCOUNT;
    // DISPPARAMS lists the arguments last first.
    const std::optional<RecordValue> first = readArgument(params->rgvarg[op.argCount - 1]);
    std::optional<RecordValue> second = op.argCount == 2 ? readArgument(params->rgvarg[0]) : RecordValue{};
    const auto* key = first ? std::get_if<std::string>(&*first) : nullptr;
    if (!key || !second) return DISP_E_TYPEMISMATCH;
    if (op.name == kOpDataAddInt && !std::holds_alternative<std::int16_t>(*second)) return DISP_E_TYPEMISMATCH;

    ServedCall call(store_, op.name, *key, std::move(*second));
    if (call.refusedBy(rejects_)) return reject(op, *key, exception);
    if (op.name == kOpDataGet) {
      if (const RecordValue* value = call.answer()) {
        const std::optional<std::string_view> text = stringOf(*value);
        Variant answer =
            text ? Variant::string(fromUtf8Lenient(*text)) : Variant::int16(std::get<std::int16_t>(*value));
        if (FAILED(VariantChangeType(answer.get(), answer.get(), 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
        VARIANT& target = params->rgvarg[0];
        if (target.vt != (VT_BSTR | VT_BYREF)) return DISP_E_TYPEMISMATCH;
        SysFreeString(*target.pbstrVal);
        *target.pbstrVal = answer.release().bstrVal;
      }
    }
    call.commit();
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }

 private:
  static HRESULT reject(const Operation& op, const std::string& key, EXCEPINFO* exception) {
    if (exception) {
      *exception = EXCEPINFO{};
      exception->scode = E_FAIL;
      exception->bstrSource = win::Bstr(kPluginsCoreProgId.text()).release();
      exception->bstrDescription =
          win::Bstr(fromUtf8Lenient("the host refuses " + std::string(op.name) + "(" + key + ")")).release();
    }
    return DISP_E_EXCEPTION;
  }

  RecordStore& store_;
  const std::vector<RejectRule>& rejects_;
};

std::u16string quotedCommandLine(const PluginLaunch& launch) {
  return u"\"" + fromUtf8Lenient(launch.program) + u"\" " + fromUtf8Lenient(launch.switchText);
}

constexpr int kOfferAttempts = 20;
constexpr DWORD kOfferRetryMs = 100;

}  // namespace

Result<PluginRun> runPlugin(const PluginLaunch& launch, RecordStore& store, const std::vector<RejectRule>& rejects) {
  // A single-threaded apartment: the plug-in's calls are dispatched on this
  // thread while it waits. Entered first, left last.
  const win::ComApartment apartment(COINIT_APARTMENTTHREADED);
  if (!apartment.ok()) {
    return fail("cannot enter a COM apartment");
  }
  // One stand-in per host object, as on Linux where the bus name has one
  // owner: a second one would register its class under the same ProgID and
  // a plug-in could reach either. The name is taken before the class is
  // offered and let go after the offer is withdrawn.
  const std::u16string servingName = u"Local\\tarnweld-host " + std::u16string(kPluginsCoreProgId.text());
  const win::Handle serving(CreateMutexW(nullptr, FALSE, win::wide(servingName.c_str())));
  if (!serving || GetLastError() == ERROR_ALREADY_EXISTS) {
    return fail(std::string(kPluginsCoreProgId.ascii()) +
                " already has an owner on this machine (is another host running?)");
  }
  const auto object = win::ComPtr<HostObject>::adopt(new HostObject(store, rejects));
  // Offering the class can fail for a moment while a stand-in that has just
  // ended is still being taken down; a few more tries cost nothing when it
  // succeeds at once.
  // A class of its own: a stand-in killed earlier may have left its class
  // registered for a process that is gone.
  const CLSID clsid = freshClass();
  std::optional<ClassOffer> offer;
  for (int attempt = 0; attempt < kOfferAttempts; ++attempt) {
    if (attempt > 0) Sleep(kOfferRetryMs);
    offer.reset();
    offer.emplace(kPluginsCoreProgId.text(), clsid, object.get());
    if (SUCCEEDED(offer->status())) break;
  }
  if (FAILED(offer->status())) {
    return fail("cannot offer the host object under " + std::string(kPluginsCoreProgId.ascii()) + " (HRESULT " +
                std::to_string(static_cast<unsigned long>(offer->status())) + ")");
  }

  std::u16string commandLine = quotedCommandLine(launch);
  const std::optional<std::u16string> directory =
      launch.directory ? std::optional(fromUtf8Lenient(*launch.directory)) : std::nullopt;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const auto started = std::chrono::steady_clock::now();
  if (!CreateProcessW(nullptr, win::wide(commandLine.data()), nullptr, nullptr, FALSE, 0, nullptr,
                      directory ? win::wide(directory->c_str()) : nullptr, &startup, &info)) {
    return fail("cannot start the plug-in " + launch.program + " (error " + std::to_string(GetLastError()) + ")");
  }
  const win::Handle process(info.hProcess), thread(info.hThread);

  PluginRun run;
  const auto limitMs = std::chrono::duration_cast<std::chrono::milliseconds>(launch.timeout).count();
  HANDLE handles[] = {process.get()};
  DWORD index = 0;
  if (CoWaitForMultipleHandles(0, static_cast<DWORD>(std::clamp<long long>(limitMs, 0, INFINITE - 1)), 1, handles,
                               &index) == S_OK) {
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    run.end = {PluginEnd::Kind::Exited, static_cast<int>(code)};
  } else {
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), INFINITE);
    run.end = {PluginEnd::Kind::TimedOut, 0};
  }
  run.wallTime = std::chrono::steady_clock::now() - started;
  PROCESS_MEMORY_COUNTERS memory{};
  if (GetProcessMemoryInfo(process.get(), &memory, sizeof memory)) {
    run.peakRssKiB = static_cast<long>(memory.PeakWorkingSetSize / 1024);
  }
  return run;
}

RecordValue shareText(std::string text) { return text; }

namespace {

// COM passes strings by value: the record is the string itself.
class StringTextWriter final : public SharedTextWriter {
 public:
  bool append(std::string_view bytes) override {
    text_.append(bytes);
    return true;
  }
  Result<RecordValue> finish() override { return RecordValue(std::move(text_)); }

 private:
  std::string text_;
};

}  // namespace

std::unique_ptr<SharedTextWriter> newSharedTextWriter() { return std::make_unique<StringTextWriter>(); }

std::string defaultPluginPath() { return toUtf8(win::exeDirectory() + std::u16string(kDefaultPluginName)); }

std::vector<std::string> programArguments(int, char**) {
  std::vector<std::string> arguments;
  const std::vector<std::u16string> wide = win::commandLineArgs();
  for (std::size_t i = 1; i < wide.size(); ++i) arguments.push_back(toUtf8(wide[i]));
  return arguments;
}

}  // namespace tarnweld::host
