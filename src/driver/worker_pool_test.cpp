#include "driver/worker_pool.h"

#include <gtest/gtest.h>

namespace scrivex {
namespace {

TEST(OutputChains, SharedOutputsAndReadOutputsStayInOrderOnOneChain) {
  const WorkList list = {
      {"/in/a.pdf", "/out/a.tif"},        // 0
      {"/in/list1.pdf", "/out/all.pdf"},  // 1
      {"/in/b.pdf", "/out/b.tif"},        // 2
      {"/in/list2.pdf", "/out/all.pdf"},  // 3
      {"/out/b.tif", "/out/b.pdf"},       // 4 reads what 2 writes
      {"/in/c.ps", "/out/c.pdf"},         // 5
      {"/out/all.pdf", "/out/all.tif"},   // 6 reads what 1 and 3 write
      {"/in/d.ps", "/in/a.pdf"},          // 7 writes what 0 reads
  };
  const std::vector<std::vector<size_t>> expected = {{0, 7}, {1, 3, 6}, {2, 4}, {5}};
  EXPECT_EQ(OutputChains(list), expected);
  EXPECT_TRUE(OutputChains({}).empty());
}

}  // namespace
}  // namespace scrivex
