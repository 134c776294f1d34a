#include "fakes/fake_parser.h"

namespace tarnweld::fakes {
namespace {

template <typename T>
std::optional<T> answer(CallLog& log, const std::string& label, T value) {
  if (!log.record(label)) return std::nullopt;
  return value;
}

class FakeParseError : public xml::ParseError {
 public:
  FakeParseError(CallLog& log, std::string name, const FakeDocumentScript& script)
      : log_(log), name_(std::move(name)), script_(script) {}
  std::optional<Text> reason() const override { return answer(log_, name_ + ".reason", script_.reason); }
  std::optional<Text> srcText() const override { return answer(log_, name_ + ".srcText", script_.srcText); }
  std::optional<std::int32_t> line() const override { return answer(log_, name_ + ".line", script_.line); }
  std::optional<std::int32_t> linepos() const override { return answer(log_, name_ + ".linepos", script_.linepos); }

 private:
  CallLog& log_;
  std::string name_;
  const FakeDocumentScript& script_;
};

class FakeDocument : public xml::XmlDocument {
 public:
  FakeDocument(FakeParser& parser, CallLog& log, std::string name, const FakeDocumentScript& script)
      : parser_(parser), log_(log), name_(std::move(name)), script_(script) {}
  ~FakeDocument() override { log_.record(name_ + ".release"); }

  bool setValidateOnParse(bool) override { return log_.record(name_ + ".setValidateOnParse"); }
  bool setAsync(bool) override { return log_.record(name_ + ".setAsync"); }
  std::optional<bool> loadXML(TextView text) override {
    parser_.loadedText = text;
    return remember(answer(log_, name_ + ".loadXML", script_.loadResult));
  }
  std::optional<bool> load(TextView path) override {
    parser_.loadedPath = path;
    return remember(answer(log_, name_ + ".load", script_.loadResult));
  }
  std::unique_ptr<xml::ParseError> parseError() const override {
    if (!log_.record(name_ + ".parseError")) return nullptr;
    return std::make_unique<FakeParseError>(log_, name_, script_);
  }
  // Like a real parser, transforms only with a loaded stylesheet of its own kind.
  std::optional<Text> transformNode(xml::XmlDocument& stylesheet) override {
    if (!log_.record(name_ + ".transformNode")) return std::nullopt;
    const auto* fake = dynamic_cast<FakeDocument*>(&stylesheet);
    if (!loaded_ || !fake || !fake->loaded_) return std::nullopt;
    return script_.transformResult;
  }

 private:
  FakeParser& parser_;
  CallLog& log_;
  std::string name_;
  const FakeDocumentScript& script_;
  bool loaded_ = false;

  std::optional<bool> remember(std::optional<bool> result) {
    if (result) loaded_ = *result;
    return result;
  }
};

}  // namespace

std::unique_ptr<xml::XmlDocument> FakeParser::createDocument() {
  const bool first = created_++ == 0;
  const std::string name = first ? "xml" : "xsl";
  if (!log_.record(name + ".create")) return nullptr;
  return std::make_unique<FakeDocument>(*this, log_, name, first ? xml : xsl);
}

}  // namespace tarnweld::fakes
