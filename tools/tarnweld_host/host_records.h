// What the host stand-in keeps of a plug-in session: the records, the suffix
// in force, and the calls in the order they came (when asked to keep them)
// (verdicts.h judges how the session ended). No bus code here: the bus
// service feeds it, and the tests drive it directly.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/names.h"
#include "host_options.h"

namespace tarnweld::host {

// A large string kept where it arrived (a memory file the plug-in sealed,
// mapped) rather than copied into the stand-in's own memory.
class SharedText {
 public:
  virtual ~SharedText() = default;
  virtual std::string_view bytes() const = 0;
  // The sealed memory file that holds the bytes, to be passed on as it is,
  // or -1 when there is none to pass.
  virtual int file() const { return -1; }
};

// Strings are kept in their wire form (UTF-8), so a large document or output
// is converted once and never copied between forms.
using RecordValue = std::variant<std::string, std::int16_t, std::shared_ptr<const SharedText>>;

// The string a record holds, in either form; nothing when it holds a number.
std::optional<std::string_view> stringOf(const RecordValue& value);

// The operation and record names are the program's own (core/names.h), read
// here in their wire form.
inline constexpr std::string_view kOpSetGlobalSuffix = host_op::kDataSetGlobalSuffix.ascii();
inline constexpr std::string_view kOpDataAdd = host_op::kDataAdd.ascii();
inline constexpr std::string_view kOpDataAddInt = host_op::kDataAddInt.ascii();
inline constexpr std::string_view kOpDataGet = host_op::kDataGet.ascii();

// One host call as received. `key` is the key as stored (with the suffix then
// in force); for a suffix call it is empty and `value` holds the suffix.
struct HostCall {
  std::string operation;
  std::string key;
  RecordValue value;
  bool rejected = false;
};

class RecordStore {
 public:
  explicit RecordStore(bool keepCalls) : keepCalls_(keepCalls) {}

  void setSuffix(std::string suffix) { suffix_ = std::move(suffix); }
  std::string storedKey(std::string_view key) const { return std::string(key) + suffix_; }
  void add(std::string storedKey, RecordValue value) { records_[std::move(storedKey)] = std::move(value); }
  const RecordValue* find(std::string_view storedKey) const;
  // Moves a record out, for handing a large OUTPUT on without a copy.
  std::optional<RecordValue> take(std::string_view storedKey);

  bool keepsCalls() const { return keepCalls_; }
  void logCall(HostCall call);
  const std::vector<HostCall>& calls() const { return calls_; }

 private:
  bool keepCalls_;
  std::string suffix_;
  std::map<std::string, RecordValue, std::less<>> records_;
  std::vector<HostCall> calls_;
};

// One host call as every host service handles it, whatever carries it: made
// from the call's arguments, perhaps refused by a --reject rule, answered (a
// read), and once its reply has gone out, committed: the record or suffix is
// stored and the call logged. A refused call is logged at once and stores
// nothing.
class ServedCall {
 public:
  // `first` is the key, or the suffix of a suffix call; `second` the value
  // (ignored for a suffix call).
  ServedCall(RecordStore& store, std::string_view operation, const std::string& first, RecordValue second);

  // True, with the call logged as refused, when one of `rules` refuses it.
  bool refusedBy(const std::vector<RejectRule>& rules);
  // For a read: the record the host holds under the key, or nullptr.
  const RecordValue* answer() const;
  // Stores what the call hands over and logs it.
  void commit();

 private:
  RecordStore& store_;
  std::string first_;
  RecordValue second_;
  HostCall logged_;
};

// `text` in double quotes, with \\ \" \r \n \t and \u00XX for other control characters.
std::string quoted(std::string_view text);

// One line of the register listing, without the line break:
// (suffix "_1") / NAME_1 = "Tarnweld" / MODE_SHOW_STATUS_1 = 1 (int16) / (get "KEY"),
// followed by " (rejected)" for a refused call.
std::string formatCall(const HostCall& call);

}  // namespace tarnweld::host
