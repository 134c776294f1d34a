// The node pool stands in for malloc under libxml2: whatever it is asked, it
// must answer as malloc would, and serve from its range only what it can
// reuse safely.
#include "xml/libxml/libxml_node_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace tarnweld::xml {
namespace {

constexpr std::size_t kNode = NodePool::kBlockSize;

TEST(NodePoolTest, ServesNodeSizedBlocksFromItsRangeAndEverythingElseFromMalloc) {
  NodePool pool(std::size_t{1} << 20);
  ASSERT_TRUE(pool.reserved());
  void* node = pool.allocate(kNode);
  void* other = pool.allocate(kNode - 8);
  EXPECT_TRUE(pool.owns(node));
  EXPECT_FALSE(pool.owns(other));
  std::memset(node, 0xAB, kNode);

  // A block given back is the next one handed out.
  pool.release(node);
  EXPECT_EQ(pool.allocate(kNode), node);

  // Growing or shrinking moves a block to malloc with its bytes; keeping the
  // size keeps the block.
  std::memcpy(node, "node", 5);
  EXPECT_EQ(pool.reallocate(node, kNode), node);
  void* grown = pool.reallocate(node, 4 * kNode);
  EXPECT_FALSE(pool.owns(grown));
  EXPECT_STREQ(static_cast<char*>(grown), "node");
  EXPECT_EQ(pool.allocate(kNode), node) << "the moved block was given back";

  pool.release(grown);
  pool.release(other);
  pool.release(node);
  pool.release(nullptr);
}

TEST(NodePoolTest, AnotherThreadAndAFullRangeGoToMalloc) {
  NodePool pool(4 * kNode);
  void* fromThread = nullptr;
  std::thread([&] { fromThread = pool.allocate(kNode); }).join();
  EXPECT_FALSE(pool.owns(fromThread));
  std::free(fromThread);

  void* blocks[5];
  for (void*& block : blocks) block = pool.allocate(kNode);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(pool.owns(blocks[i])) << i;
  EXPECT_FALSE(pool.owns(blocks[4]));

  // A pool block given back from another thread is never handed out again.
  std::thread([&] { pool.release(blocks[0]); }).join();
  void* next = pool.allocate(kNode);
  EXPECT_NE(next, blocks[0]);
  for (void* block : blocks) pool.release(block);
  pool.release(next);
}

}  // namespace
}  // namespace tarnweld::xml
