// Which encoding a document's bytes are written in, read from the bytes alone
// the way an XML parser reads them before decoding anything: a byte-order
// mark, else "<?" as UTF-16 code units, else the encoding the XML declaration
// names, else UTF-8. Pure: it names the encoding and decodes nothing, so the
// plug-in's parser and the host stand-in each decode with their own library.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarnweld {

inline constexpr std::string_view kUtf8Encoding = "UTF-8";
inline constexpr std::string_view kUtf16LeEncoding = "UTF-16LE";
inline constexpr std::string_view kUtf16BeEncoding = "UTF-16BE";

struct SniffedEncoding {
  // kUtf8Encoding, kUtf16LeEncoding or kUtf16BeEncoding, or the declared
  // name exactly as the declaration writes it.
  std::string name;
  // The bytes of the byte-order mark that opens the document; they are not
  // part of its text. 0 without a mark.
  std::size_t markLength = 0;
  // The name the XML declaration gives, when a declaration in single-byte
  // form opens the bytes and names one.
  std::optional<std::string> declared;
};

SniffedEncoding sniffEncoding(std::string_view bytes);

// Whether `name` names UTF-8: "UTF-8" or "UTF8", in any case.
bool namesUtf8(std::string_view name);

}  // namespace tarnweld
