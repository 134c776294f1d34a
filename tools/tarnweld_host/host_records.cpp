#include "host_records.h"

namespace tarnweld::host {

std::optional<std::string_view> stringOf(const RecordValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* shared = std::get_if<std::shared_ptr<const SharedText>>(&value)) return (*shared)->bytes();
  return std::nullopt;
}

const RecordValue* RecordStore::find(std::string_view storedKey) const {
  const auto it = records_.find(storedKey);
  return it == records_.end() ? nullptr : &it->second;
}

std::optional<RecordValue> RecordStore::take(std::string_view storedKey) {
  const auto it = records_.find(storedKey);
  if (it == records_.end()) return std::nullopt;
  RecordValue value = std::move(it->second);
  records_.erase(it);
  return value;
}

void RecordStore::logCall(HostCall call) {
  if (keepCalls_) calls_.push_back(std::move(call));
}

ServedCall::ServedCall(RecordStore& store, std::string_view operation, const std::string& first, RecordValue second)
    : store_(store), first_(first), second_(std::move(second)) {
  const bool isSuffix = operation == kOpSetGlobalSuffix;
  logged_ = {std::string(operation), isSuffix ? std::string() : store_.storedKey(first), RecordValue{}};
  // The log copies a value only when it keeps calls at all, so a large
  // OUTPUT is moved into the store and never copied.
  if (store_.keepsCalls() && operation != kOpDataGet) logged_.value = isSuffix ? RecordValue{first} : second_;
}

bool ServedCall::refusedBy(const std::vector<RejectRule>& rules) {
  for (const RejectRule& rule : rules) {
    if (rejects(rule, logged_.operation, first_)) {
      logged_.rejected = true;
      store_.logCall(std::move(logged_));
      return true;
    }
  }
  return false;
}

const RecordValue* ServedCall::answer() const { return store_.find(logged_.key); }

void ServedCall::commit() {
  if (logged_.operation == kOpSetGlobalSuffix) {
    store_.setSuffix(first_);
  } else if (logged_.operation != kOpDataGet) {
    store_.add(logged_.key, std::move(second_));
  }
  store_.logCall(std::move(logged_));
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out += '"';
}

std::string formatCall(const HostCall& call) {
  auto valueText = [&] {
    if (const auto* number = std::get_if<std::int16_t>(&call.value)) return std::to_string(*number) + " (int16)";
    return quoted(stringOf(call.value).value_or(""));
  };
  std::string line;
  if (call.operation == kOpSetGlobalSuffix) {
    line = "(suffix " + valueText() + ")";
  } else if (call.operation == kOpDataGet) {
    line = "(get " + quoted(call.key) + ")";
  } else {
    line = call.key + " = " + valueText();
  }
  if (call.rejected) line += " (rejected)";
  return line;
}

}  // namespace tarnweld::host
