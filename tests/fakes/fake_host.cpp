#include "fakes/fake_host.h"

#include "text/utf.h"

namespace tarnweld::fakes {
namespace {

class FakeObject : public AutomationObject {
 public:
  FakeObject(FakeHost& host, CallLog& log) : host_(host), log_(log) {}
  ~FakeObject() override { log_.record("host.release"); }

  bool invoke(TextView name, std::span<const AutomationArg> args) override {
    const FakeAtWork atWork;
    RecordedCall call{textToUtf8(name), {}, false};
    for (const AutomationArg& arg : args) {
      if (auto* text = std::get_if<TextView>(&arg)) {
        call.args.push_back(stringArg(*text));
      } else if (auto* number = std::get_if<std::int16_t>(&arg)) {
        call.args.push_back(intArg(*number));
      } else {
        call.args.push_back(refArg(*std::get<StringRef>(arg).target));
      }
    }
    const std::string first = call.args.empty() ? "" : textToUtf8(call.args.front().text);
    call.succeeded = log_.record("host." + call.name + "(" + first + ")");
    host_.calls.push_back(call);
    if (!call.succeeded) return false;

    if (name == TXT("hkp_DataGet") && args.size() == 2) {
      if (auto found = host_.records.find(call.args[0].text); found != host_.records.end()) {
        *std::get<StringRef>(args[1]).target = found->second;
      }
    }
    return true;
  }

  std::optional<Text> refusesText(const Text& text) const override {
    if (!host_.textLimit || text.size() <= *host_.textLimit) return std::nullopt;
    return textFromAscii(std::to_string(text.size()) + " characters, over the limit of " +
                     std::to_string(*host_.textLimit));
  }

 private:
  FakeHost& host_;
  CallLog& log_;
};

}  // namespace

std::unique_ptr<AutomationObject> FakeHost::create(TextView progId) {
  const FakeAtWork atWork;
  createdProgId = progId;
  if (!log_.record("host.create")) return nullptr;
  return std::make_unique<FakeObject>(*this, log_);
}

RecordedArg stringArg(TextView text) { return {RecordedArg::Kind::String, Text(text)}; }
RecordedArg refArg(TextView text) { return {RecordedArg::Kind::StringRef, Text(text)}; }
RecordedArg intArg(std::int16_t number) { return {RecordedArg::Kind::Int16, {}, number}; }

}  // namespace tarnweld::fakes
