// Blocks of exactly one tree node's size for libxml2. libxml2 allocates each
// node of a tree (element, text, comment...) as one block of sizeof(xmlNode)
// bytes: millions of them for a large document, alive until the tree goes.
// A general allocator rounds that size up to its next size class, a
// fifteenth more for every node; the pool hands such blocks out back to back
// from an address range of its own, and reuses the ones given back.
//
// The pool serves one thread, the one that made it: libxml2 runs on that
// thread only. Every other size, and every call from another thread, goes to
// malloc; a pool block given back from another thread is not reused.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnweld::xml {

class NodePool {
 public:
  static constexpr std::size_t kBlockSize = 120;  // sizeof(xmlNode) on 64-bit targets

  // Reserves `reserveBytes` of address space (no memory until blocks are
  // handed out). A pool whose range cannot be reserved sends everything to
  // malloc.
  explicit NodePool(std::size_t reserveBytes);
  NodePool(const NodePool&) = delete;
  NodePool& operator=(const NodePool&) = delete;
  ~NodePool();

  // malloc, free and realloc, with pool blocks for kBlockSize.
  void* allocate(std::size_t size);
  void release(void* block);
  void* reallocate(void* block, std::size_t size);

  bool reserved() const { return begin_ != nullptr; }
  bool owns(const void* block) const {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    return address >= reinterpret_cast<std::uintptr_t>(begin_) && address < reinterpret_cast<std::uintptr_t>(end_);
  }

 private:
  struct FreeBlock {
    FreeBlock* next;
  };
  bool grow();

  char* begin_ = nullptr;
  char* end_ = nullptr;
  char* next_ = nullptr;       // the first block never handed out
  char* committed_ = nullptr;  // the end of the part that may be written
  FreeBlock* free_ = nullptr;
  const void* owner_;  // the serving thread's marker
};

// Makes libxml2 and libxslt allocate through one process-wide pool from now
// on, serving the calling thread. Blocks allocated before stay malloc's and
// are freed there. Once per process; false when the pool is not installed.
bool installNodePool();

}  // namespace tarnweld::xml
