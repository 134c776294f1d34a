// An in-memory parser. Documents are named by creation order, "xml" then
// "xsl"; every call is logged as "<document>.<operation>" (creation as
// "<document>.create", release as "<document>.release", parse-error reads as
// "<document>.reason" and so on) and fails when the shared log names it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "fakes/call_log.h"
#include "xml/xml_document.h"

namespace tarnweld::fakes {

// What a fake document answers when its calls succeed.
struct FakeDocumentScript {
  bool loadResult = true;
  Text reason;
  Text srcText;
  std::int32_t line = 0;
  std::int32_t linepos = 0;
  std::optional<Text> transformResult = TXT("<result/>");
};

class FakeParser : public xml::XmlParser {
 public:
  explicit FakeParser(CallLog& log) : log_(log) {}

  std::unique_ptr<xml::XmlDocument> createDocument() override;

  FakeDocumentScript xml;
  FakeDocumentScript xsl;
  // What the documents were given to load.
  Text loadedText;
  Text loadedPath;

 private:
  CallLog& log_;
  int created_ = 0;
};

}  // namespace tarnweld::fakes
