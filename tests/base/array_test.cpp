#include "base/array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <vector>

namespace norvelle {
namespace {

TEST(ArrayTest, BlocksIndexAndStepGrowByTheRule) {
  struct Row { std::uint32_t adds, allocated, blocks, step, index; };
  const Row rows[] = {
      {1, 10, 1, 10, 1001},     {10, 10, 1, 10, 1001},    {11, 20, 2, 10, 1001},
      {25, 30, 3, 10, 1001},    {100, 100, 10, 10, 1001}, {101, 110, 11, 50, 1001},
      {460, 460, 18, 50, 1001}, {461, 510, 19, 250, 1001}, {760, 760, 20, 250, 1001},
      {761, 1010, 21, 250, 2001},  // more than 1001 slots: the index takes the next 1000
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.adds);
    CArrayAuto<int> a;
    for (std::uint32_t i = 0; i < r.adds; ++i) a.Add() = int(i);
    EXPECT_EQ(a.count(), r.adds);
    EXPECT_EQ(a.allocated(), r.allocated);
    EXPECT_EQ(a.block_count(), r.blocks);
    EXPECT_EQ(a.growth_step(), r.step);
    EXPECT_EQ(a.index_capacity(), r.index);
    EXPECT_EQ(a[r.adds - 1], int(r.adds - 1));
  }
}

TEST(ArrayTest, ResizeMakesOneBlockForALargeRun) {
  CArrayAuto<int> a;
  a.Resize(1000);
  EXPECT_EQ(a.allocated(), 1000u);
  EXPECT_EQ(a.block_count(), 1u);
  EXPECT_EQ(a.index_capacity(), 2001u);
  EXPECT_EQ(a.growth_step(), 50u);  // 1000 > 10 x 10
  a.Add();
  EXPECT_EQ(a.allocated(), 1050u);
  EXPECT_EQ(a.growth_step(), 250u);

  a.Resize(3);  // shrinking keeps every element
  EXPECT_EQ(a.count(), 3u);
  EXPECT_EQ(a.allocated(), 1050u);
  a.Clear();
  EXPECT_EQ(a.count(), 0u);
  EXPECT_EQ(a.allocated(), 1050u);

  a.FreeAll();  // back to the start, but the step stays
  EXPECT_EQ(a.allocated(), 0u);
  EXPECT_EQ(a.index_capacity(), 0u);
  EXPECT_EQ(a.block_count(), 0u);
  EXPECT_EQ(a.growth_step(), 250u);
  a.Add() = 7;
  EXPECT_EQ(a.allocated(), 250u);
  EXPECT_EQ(a[0], 7);
}

TEST(ArrayTest, ElementAccessPastCountThrowsTheIndex) {
  CArrayAuto<int> a;
  const CArrayAuto<int>& ca = a;
  for (int i = 0; i < 3; ++i) a.Add() = i;  // 10 elements exist, 3 in use
  for (std::uint32_t i : {3u, 9u, 10u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(i);
    try {
      a[i];
      ADD_FAILURE() << "no throw";
    } catch (std::uint32_t v) {
      EXPECT_EQ(v, i);
    } catch (...) {
      ADD_FAILURE() << "not an unsigned index";
    }
    EXPECT_THROW(ca[i], std::uint32_t);
  }
  CArrayAuto<int> empty;
  EXPECT_THROW(empty[0], std::uint32_t);
}

TEST(ArrayTest, RemoveLast) {
  CArrayAuto<int> a;
  EXPECT_EQ(a.RemoveLast(), -1);
  EXPECT_EQ(a.count(), 0u);
  EXPECT_EQ(a.allocated(), 0u);
  a.Add() = 1;
  a.Add() = 2;
  EXPECT_EQ(a.RemoveLast(), 1);
  EXPECT_EQ(a.RemoveLast(), 0);
  EXPECT_EQ(a.RemoveLast(), -1);
}

TEST(ArrayTest, ElementsNeverMove) {
  CArrayAuto<CStr_base<64>> a;
  std::vector<const CStr_base<64>*> where;
  for (int i = 0; i < 2500; ++i) {
    a.Add() = "x";
    where.push_back(&a[std::uint32_t(i)]);
  }
  a.Resize(10);
  a.Resize(2500);
  for (std::uint32_t i = 0; i < 2500; ++i) ASSERT_EQ(&a[i], where[i]) << i;
}

TEST(ArrayTest, CopiesAreDeep) {
  CArrayAuto<CStr_base<64>> a;
  a.AddCopy("one");
  a.AddCopy("two");
  CArrayAuto<CStr_base<64>> b(a);
  b[0] = "changed";
  b.AddCopy("three");
  EXPECT_STREQ(a[0].c_str(), "one");
  EXPECT_EQ(a.count(), 2u);
  ASSERT_EQ(b.count(), 3u);
  EXPECT_STREQ(b[1].c_str(), "two");
  EXPECT_NE(a[1].c_str(), b[1].c_str());

  CArrayAuto<CStr_base<64>> c;
  c.AddCopy("old1");
  c.AddCopy("old2");
  c.AddCopy("old3");
  c = a;
  ASSERT_EQ(c.count(), 2u);
  EXPECT_STREQ(c[0].c_str(), "one");
  EXPECT_STREQ(c[1].c_str(), "two");
}

struct HookLog {
  std::vector<int> inits, resets;  // values seen, one entry per element
  int fail_at = -1;                // initialisation of this many elements fails
  int initialised = 0;
};

bool InitHook(int* e, std::uint32_t n, void* user, CArrayAuto<int>*) {
  auto* log = static_cast<HookLog*>(user);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (log->initialised == log->fail_at) return false;
    ++log->initialised;
    e[i] = 100;
    log->inits.push_back(e[i]);
  }
  return true;
}

void ResetHook(int* e, std::uint32_t n, void* user, CArrayAuto<int>*) {
  auto* log = static_cast<HookLog*>(user);
  for (std::uint32_t i = 0; i < n; ++i) log->resets.push_back(e[i]);
}

TEST(ArrayTest, HooksSeeElementsComingIntoAndGoingOutOfUse) {
  HookLog log;
  CArrayAuto<int> a;
  a.SetHooks(InitHook, ResetHook, &log);
  EXPECT_EQ(a.Add(), 100);  // initialised before it is handed out
  a[0] = 1;
  a.Resize(3);
  a[1] = 2;
  a[2] = 3;
  EXPECT_EQ(log.inits.size(), 3u);
  a.RemoveLast();
  EXPECT_EQ(log.resets, std::vector<int>({3}));
  a.Clear();
  EXPECT_EQ(log.resets, std::vector<int>({3, 1, 2}));

  log.fail_at = 5;  // the sixth initialisation fails
  a.Resize(2);
  try {
    a.Resize(6);
    ADD_FAILURE() << "no throw";
  } catch (std::uint32_t n) {
    EXPECT_EQ(n, 6u);  // the count asked for
  }
  EXPECT_EQ(a.count(), 2u);
}

// An element type whose construction can be made to fail.
bool g_refuse_construction = false;
struct Fragile {
  Fragile() {
    if (g_refuse_construction) throw std::bad_alloc();
  }
  int v = 0;
};

TEST(ArrayTest, FailedBlockThrowsANullElementPointer) {
  CArrayAuto<Fragile> a;
  for (int i = 0; i < 10; ++i) a.Add().v = i;
  g_refuse_construction = true;
  try {
    a.Add();
    ADD_FAILURE() << "no throw";
  } catch (Fragile* p) {
    EXPECT_EQ(p, nullptr);
  }
  g_refuse_construction = false;
  // Unchanged and still usable.
  EXPECT_EQ(a.count(), 10u);
  EXPECT_EQ(a.allocated(), 10u);
  a.Add().v = 10;
  EXPECT_EQ(a[10].v, 10);
  EXPECT_EQ(a[9].v, 9);
}

TEST(ArrayTest, StrArrayReleasesOnResetUnlessTold) {
  struct Case { bool release; bool keeps_buffer; };
  for (Case c : {Case{true, false}, Case{false, true}}) {
    SCOPED_TRACE(c.release);
    CStrArray_base<64> a;
    EXPECT_TRUE(a.release_on_reset());  // the default
    a.set_release_on_reset(c.release);
    a.Add() = "hello";
    const char* buf = a[0].c_str();
    a.RemoveLast();
    CStr_base<64>& again = a.Add();  // the same element comes back
    EXPECT_EQ(again.c_str() == buf, c.keeps_buffer);
    EXPECT_EQ(again.capacity() != 0, c.keeps_buffer);
    EXPECT_EQ(again.c_str() == g_shared_empty, !c.keeps_buffer);
    again = "again";
    a.Clear();
    EXPECT_EQ(a.Add().capacity() != 0, c.keeps_buffer);
  }
}

}  // namespace
}  // namespace norvelle
