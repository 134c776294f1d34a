#include "xml/libxml/libxml_node_pool.h"

#include <libxml/tree.h>
#include <libxml/xmlmemory.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace tarnweld::xml {
namespace {

static_assert(sizeof(xmlNode) == NodePool::kBlockSize, "the pool's block size is libxml2's node size");
static_assert(NodePool::kBlockSize % alignof(xmlNode) == 0, "back-to-back blocks stay aligned");

// The range is made writable a step at a time, as blocks are needed: the
// first step as small as a short document needs, each next one twice the
// last, up to the largest.
constexpr std::size_t kFirstStepBytes = std::size_t{64} << 10;
constexpr std::size_t kLargestStepBytes = std::size_t{4} << 20;
// Room for about 280 million nodes: far more than any tree that fits in memory.
constexpr std::size_t kProcessReserveBytes = std::size_t{32} << 30;

// Every thread has its own copy of this byte, so its address tells the
// threads apart: a check on every allocation that costs no call.
thread_local char threadMarker = 0;
const void* thisThread() { return &threadMarker; }

}  // namespace

NodePool::NodePool(std::size_t reserveBytes) : owner_(thisThread()) {
  void* range = mmap(nullptr, reserveBytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (range == MAP_FAILED) return;
  begin_ = next_ = committed_ = static_cast<char*>(range);
  end_ = begin_ + reserveBytes;
}

NodePool::~NodePool() {
  if (begin_) munmap(begin_, static_cast<std::size_t>(end_ - begin_));
}

bool NodePool::grow() {
  const std::size_t made = static_cast<std::size_t>(committed_ - begin_);
  const std::size_t wanted = std::clamp(made, kFirstStepBytes, kLargestStepBytes);
  const std::size_t step = std::min(wanted, static_cast<std::size_t>(end_ - committed_));
  if (step < kBlockSize || mprotect(committed_, step, PROT_READ | PROT_WRITE) != 0) return false;
  // Every block of the step is about to be written: its pages are made
  // present in one call rather than one fault each. Where the system cannot,
  // the faults come as before.
  madvise(committed_, step, MADV_POPULATE_WRITE);
  committed_ += step;
  return true;
}

void* NodePool::allocate(std::size_t size) {
  if (size != kBlockSize || thisThread() != owner_) return std::malloc(size);
  if (free_) return std::exchange(free_, free_->next);
  if (static_cast<std::size_t>(committed_ - next_) < kBlockSize && !grow()) return std::malloc(size);
  return std::exchange(next_, next_ + kBlockSize);
}

void NodePool::release(void* block) {
  if (!owns(block)) return std::free(block);
  if (thisThread() != owner_) return;
  free_ = new (block) FreeBlock{free_};
}

void* NodePool::reallocate(void* block, std::size_t size) {
  if (!block) return allocate(size);
  if (!owns(block)) return std::realloc(block, size);
  if (size == kBlockSize) return block;
  // A pool block that changes size moves to malloc; on failure the block
  // stays as it was, as realloc promises.
  void* moved = std::malloc(size);
  if (!moved) return nullptr;
  std::memcpy(moved, block, std::min(size, kBlockSize));
  release(block);
  return moved;
}

namespace {

NodePool* processPool = nullptr;

void poolFree(void* block) { processPool->release(block); }
void* poolMalloc(std::size_t size) { return processPool->allocate(size); }
void* poolRealloc(void* block, std::size_t size) { return processPool->reallocate(block, size); }
char* poolStrdup(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  void* copy = processPool->allocate(size);
  if (copy) std::memcpy(copy, text, size);
  return static_cast<char*>(copy);
}

}  // namespace

bool installNodePool() {
  static const bool installed = [] {
    // Never destroyed: the library may free a block until the process ends.
    processPool = new NodePool(kProcessReserveBytes);
    return processPool->reserved() && xmlMemSetup(poolFree, poolMalloc, poolRealloc, poolStrdup) == 0;
  }();
  return installed;
}

}  // namespace tarnweld::xml
