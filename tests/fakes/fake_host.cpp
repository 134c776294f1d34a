#include "fakes/fake_host.h"

#include "text/utf.h"

namespace tarnweld::fakes {
namespace {

class FakeObject : public AutomationObject {
 public:
  FakeObject(FakeHost& host, CallLog& log) : host_(host), log_(log) {}
  ~FakeObject() override { log_.record("host.release"); }

  bool invoke(std::u16string_view name, std::span<const AutomationArg> args) override {
    const FakeAtWork atWork;
    RecordedCall call{toUtf8(name), {}, false};
    for (const AutomationArg& arg : args) {
      if (auto* text = std::get_if<std::u16string_view>(&arg)) {
        call.args.push_back(stringArg(*text));
      } else if (auto* number = std::get_if<std::int16_t>(&arg)) {
        call.args.push_back(intArg(*number));
      } else {
        call.args.push_back(refArg(*std::get<StringRef>(arg).target));
      }
    }
    const std::string first = call.args.empty() ? "" : toUtf8(call.args.front().text);
    call.succeeded = log_.record("host." + call.name + "(" + first + ")");
    host_.calls.push_back(call);
    if (!call.succeeded) return false;

    if (name == u"hkp_DataGet" && args.size() == 2) {
      if (auto found = host_.records.find(call.args[0].text); found != host_.records.end()) {
        *std::get<StringRef>(args[1]).target = found->second;
      }
    }
    return true;
  }

  std::optional<std::u16string> refusesText(std::u16string_view text) const override {
    if (!host_.textLimit || text.size() <= *host_.textLimit) return std::nullopt;
    return fromAscii(std::to_string(text.size()) + " characters, over the limit of " +
                     std::to_string(*host_.textLimit));
  }

 private:
  FakeHost& host_;
  CallLog& log_;
};

}  // namespace

std::unique_ptr<AutomationObject> FakeHost::create(std::u16string_view progId) {
  const FakeAtWork atWork;
  createdProgId = progId;
  if (!log_.record("host.create")) return nullptr;
  return std::make_unique<FakeObject>(*this, log_);
}

RecordedArg stringArg(std::u16string_view text) { return {RecordedArg::Kind::String, std::u16string(text)}; }
RecordedArg refArg(std::u16string_view text) { return {RecordedArg::Kind::StringRef, std::u16string(text)}; }
RecordedArg intArg(std::int16_t number) { return {RecordedArg::Kind::Int16, {}, number}; }

}  // namespace tarnweld::fakes
