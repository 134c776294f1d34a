// The parser documents on libxml2 and libxslt: the one factory the
// per-platform file that makes the backends calls.
#pragma once

#include <memory>

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

// Gives the pages of freed blocks back to the system now: called once the
// result tree is freed, before the result's text is read in, so that the two
// never hold memory at once. The process's allocator knows how; nullptr
// leaves it to the allocator's own time.
using ReleaseFreedMemory = void (*)();

// The libxml2 + libxslt parser. Its first document prepares the libraries
// once per process (EXSLT and the node-set function of the platform namespace).
std::unique_ptr<XmlParser> makeLibxmlParser(TreeRelease treeRelease = TreeRelease::Free,
                                            NodeBlocks nodeBlocks = NodeBlocks::Malloc,
                                            ReleaseFreedMemory releaseFreedMemory = nullptr);

}  // namespace tarnweld::xml
