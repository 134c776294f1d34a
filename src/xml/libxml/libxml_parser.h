// The parser documents on libxml2 and libxslt, and the small text rules the
// backend applies around the libraries: how a source line is cut for the
// parse-error record, and how the bytes of a file or of a transformation's
// output are decoded to the program's text.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "xml/xml_document.h"

namespace tarnweld::xml {

// What releasing a document does with its tree. Free walks it node by node;
// LeftToProcessEnd leaves it to the end of the process, for a process that
// ends right after its documents go: the system takes back a tree of
// millions of nodes at once, where walking it costs a share of a large run.
enum class TreeRelease { Free, LeftToProcessEnd };

// Where the trees' nodes live: in malloc's blocks, or in the process-wide
// pool of blocks of exactly a node's size (libxml_node_pool.h), a fifteenth
// less memory for a large tree. The pool serves the thread of the first
// document, and stays for the rest of the process.
enum class NodeBlocks { Malloc, Pooled };

// The libxml2 + libxslt parser. Its first document prepares the libraries
// once per process (EXSLT and the node-set function of the platform namespace).
std::unique_ptr<XmlParser> makeLibxmlParser(TreeRelease treeRelease = TreeRelease::Free,
                                            NodeBlocks nodeBlocks = NodeBlocks::Malloc);

// The text of line `line` (1-based) of `text`, without its line break. Lines
// end at LF, as the parser counts them; a CR before the LF is dropped. Empty
// when the text has no such line.
std::u16string sourceLine(std::u16string_view text, std::int32_t line);

// `bytes` decoded from `encoding` (any name libxml2 knows, as sniffEncoding
// finds it; UTF-8 when it knows none), a leading byte-order mark dropped.
// What cannot be decoded becomes U+FFFD, so no text is lost silently in a
// shorter string.
std::u16string decodeBytes(std::string_view bytes, std::string_view encoding);

// decodeBytes for the bytes of the memory file `fd`, which must allow sealing
// (it is sealed against change when it must be read whole). UTF-8 is read a
// piece at a time. Nothing when the file cannot be read.
std::optional<std::u16string> decodeFile(int fd, std::string_view encoding);

}  // namespace tarnweld::xml
