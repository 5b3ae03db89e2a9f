#include <gtest/gtest.h>

#include <cstring>

#include "base/error_state.h"
#include "text/text_lines.h"

TEST(GrowableArray, GrowsByAQuarterPlus32AndKeepsContents) {
  GrowableArray<uint32_t> array;
  EXPECT_EQ(array.Data(), nullptr);
  array.Add(1);
  EXPECT_EQ(array.Count(), 1u);
  EXPECT_EQ(array.Capacity(), 32u);
  array[0] = 7;
  array.Add(31);
  EXPECT_EQ(array.Capacity(), 32u);
  array.Add(1);
  EXPECT_EQ(array.Capacity(), 72u);
  for (uint32_t i = 1; i < array.Count(); ++i) array[i] = i * 3;
  array.Add(1000);
  EXPECT_EQ(array.Capacity(), 1033u);
  EXPECT_EQ(array[0], 7u);
  EXPECT_EQ(array[32], 96u);

  array.SetSize(5);
  EXPECT_EQ(array.Count(), 5u);
  EXPECT_EQ(array.Capacity(), 1033u);
  array.SetSize(2000);
  EXPECT_EQ(array.Capacity(), 2000u);
  EXPECT_EQ(array[4], 12u);

  // A reserved block takes what was asked for and then holds still.
  ASSERT_TRUE(array.TryReserve(5000));
  EXPECT_EQ(array.Capacity(), 5000u);
  EXPECT_EQ(array.Count(), 2000u);
  uint32_t* block = array.Data();
  array.Add(3000);
  EXPECT_EQ(array.Data(), block);
  ASSERT_TRUE(array.TryReserve(10));
  EXPECT_EQ(array.Capacity(), 5000u);

  array.Reset();
  EXPECT_EQ(array.Data(), nullptr);
  EXPECT_EQ(array.Count(), 0u);
  EXPECT_EQ(array.Capacity(), 0u);
}

TEST(GrowableArray, ExhaustedMemoryKeepsTheArray) {
  GrowableArray<uint32_t> array;
  array.Add(3);
  array[2] = 42;
  for (uint32_t huge : {0x30000000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    EXPECT_FALSE(array.TryAdd(huge)) << huge;
    EXPECT_FALSE(array.TrySetSize(huge)) << huge;
    EXPECT_FALSE(array.TryReserve(huge)) << huge;
    EXPECT_EQ(array.Count(), 3u);
    EXPECT_EQ(array[2], 42u);
  }
}

TEST(GrowableArrayDeathTest, ExhaustedMemoryEndsTheRunWithCode8) {
  GrowableArray<uint32_t> array;
  EXPECT_EXIT(array.Add(0x7FFFFFFFu), testing::ExitedWithCode(KEL_MEMORY_ERROR), "");
}
