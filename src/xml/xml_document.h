// The XML parser and XSLT processor as the run uses them: documents that load
// text or a file, describe their last load in a parse-error record, and
// transform one another. One backend per platform (libxml2 and libxslt on
// Linux, MSXML 3.0 on Windows), and an in-memory fake for the tests. Every operation can fail; a
// failed operation stores nothing and leaves the document as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace tarnweld::xml {

// The record of a document's last load. After a failed load it describes the
// first error; after a successful one its texts are empty and its numbers 0.
// A failed transformation leaves its first error in the source document's
// record: the reason, and the stylesheet's line, column and source line.
// Each read returns nothing when the value cannot be read.
class ParseError {
 public:
  virtual ~ParseError() = default;

  // The description of the failure.
  virtual std::optional<Text> reason() const = 0;
  // The text of the source line where the parser stopped.
  virtual std::optional<Text> srcText() const = 0;
  // The line (1-based) where the parser stopped.
  virtual std::optional<std::int32_t> line() const = 0;
  // The column (1-based, in characters) where the parser stopped.
  virtual std::optional<std::int32_t> linepos() const = 0;
};

// One parser document. Destroying it releases it.
class XmlDocument {
 public:
  virtual ~XmlDocument() = default;

  // Whether the next load validates the document against the DTD it declares
  // itself; a well-formed document that declares none still loads. Returns
  // false on a failure status.
  virtual bool setValidateOnParse(bool validate) = 0;
  // Whether the next load may return before it has finished. Returns false on
  // a failure status.
  virtual bool setAsync(bool async) = 0;

  // Parses `text`, which is already decoded: an encoding declaration inside it
  // is not applied again. The text is read where it lies, and only during the
  // call: the caller may let it go as soon as the call returns. Returns true when the text was parsed (and validated,
  // where asked), false when not (parseError then describes why), and nothing
  // on a failure status.
  virtual std::optional<bool> loadXML(TextView text) = 0;
  // Where the text that loadXML parses lies: the host's file name for it, in
  // the host's convention. What the text names by a relative reference that
  // the parser resolves as it reads (an unparsed entity's SYSTEM identifier,
  // which unparsed-entity-uri() gives, a relative DTD) is resolved against
  // it. Until it is called the text has no location. A backend whose parser
  // takes no location for a text in memory leaves the references as written.
  virtual void setTextLocation(TextView fileName) { static_cast<void>(fileName); }
  // Reads, parses and validates the file at `path`, written in the host's
  // convention ("\" separates directories), or the resource that `path` names
  // when it is a URI. Returns as loadXML. A file that does not exist gives a
  // reason that contains kObjectNotFoundCode; one that exists but cannot be
  // read gives the real cause.
  virtual std::optional<bool> load(TextView path) = 0;

  // The record of this document's last load, or nullptr when it cannot be had.
  virtual std::unique_ptr<ParseError> parseError() const = 0;

  // Applies `stylesheet`, a document of the same parser, to this document and
  // returns the output as text, which may lie where the parser wrote it (on
  // Linux, a sealed memory file the text holds and unmaps when it goes). Returns nothing when no transformation could
  // be made (not a stylesheet, a run-time error, a terminating message).
  virtual std::optional<Text> transformNode(XmlDocument& stylesheet) = 0;
};

// Creates parser documents.
class XmlParser {
 public:
  virtual ~XmlParser() = default;

  // A new, empty document, or nullptr when the parser is not available.
  virtual std::unique_ptr<XmlDocument> createDocument() = 0;
};

// The code the platform parser reports for a resource that does not exist
// (0x800C0006 read as a signed 32-bit number), written into a load's reason.
inline constexpr TextView kObjectNotFoundCode = TXT("-2146697210");

}  // namespace tarnweld::xml
