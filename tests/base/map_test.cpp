#include "base/map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace norvelle {
namespace {

TEST(NumMapTest, InsertNewTwiceThrowsTheKey) {
  for (int key : {7, 0, -5, 64, -2147483647 - 1}) {
    SCOPED_TRACE(key);
    CNumMap<CStr_base<64>> m;
    m.InsertNew(key) = "first";
    try {
      m.InsertNew(key);
      ADD_FAILURE() << "no throw";
    } catch (int k) {
      EXPECT_EQ(k, key);
    }
    EXPECT_EQ(m.size(), 1u);
    ASSERT_NE(m.Find(key), nullptr);
    EXPECT_STREQ(m.Find(key)->c_str(), "first");
  }
}

TEST(NumMapTest, ValueForKeyFindsOrInserts) {
  CNumMap<int> m;
  int& a = m[3];
  EXPECT_EQ(a, 0);  // a new node starts with the default value
  a = 42;
  int& b = m[3];
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(b, 42);
  EXPECT_EQ(m.size(), 1u);
  // Keys of one bucket (mod 64), negative ones included, stay apart.
  for (int k : {67, 131, -61, -3}) m[k] = k;
  for (int k : {67, 131, -61, -3}) EXPECT_EQ(m[k], k) << k;
  EXPECT_EQ(m.Find(195), nullptr);
}

TEST(NumMapTest, IteratesBucketByBucketInInsertionOrder) {
  CNumMap<int> m;
  for (int k : {65, 1, 128, 0, 64, 2, 129}) m.InsertNew(k) = k;
  std::vector<int> order;
  m.ForEach([&](int k, const int&) { order.push_back(k); });
  EXPECT_EQ(order, std::vector<int>({128, 0, 64, 65, 1, 129, 2}));

  EXPECT_TRUE(m.Remove(0));
  EXPECT_FALSE(m.Remove(0));
  m[0] = 0;  // back at the end of its chain
  order.clear();
  m.ForEach([&](int k, const int&) { order.push_back(k); });
  EXPECT_EQ(order, std::vector<int>({128, 64, 0, 65, 1, 129, 2}));
}

TEST(MapHashTest, SignedBytesTimesPosition) {
  struct Case { std::string_view key; std::uint32_t hash; };
  const Case cases[] = {
      {"", 0},
      {"a", 97 * 257},
      {"ab", 97 * 257 + 98 * 258},
      {"ba", 98 * 257 + 97 * 258},
      // Bytes from 0x80 count as negative: 0x82 is -126, 0xA0 is -96.
      {"\x82\xA0", std::uint32_t(-126 * 257 - 96 * 258)},
      {"\xFF", std::uint32_t(-257)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(MapHash(c.key), c.hash);
  }
  // A key long enough for 127 x (257 + position) to pass 2^31 wraps around
  // 2^32 instead of overflowing.
  std::string huge(17000000, '\x7F');
  std::uint64_t sum = 0;
  for (std::uint64_t i = 0; i < huge.size(); ++i) sum += 127 * (257 + i);
  EXPECT_EQ(MapHash(huge), std::uint32_t(sum));
}

// Keys of the string map in the order its iteration gives them.
template <class V>
std::vector<std::string> Keys(const CStrMap<V>& m) {
  std::vector<std::string> keys;
  m.ForEach([&](std::string_view k, const V&) { keys.emplace_back(k); });
  return keys;
}

TEST(StrMapTest, InsertNewTwiceThrowsTheKeyText) {
  const std::string keys[] = {"name", "", std::string(45, 'k'), "\x95\x5C"};
  for (const std::string& key : keys) {
    SCOPED_TRACE(key);
    CStrMap<int> m;
    m.InsertNew(key) = 1;
    try {
      m.InsertNew(key);
      ADD_FAILURE() << "no throw";
    } catch (const char* k) {
      EXPECT_EQ(k, key);
    }
    EXPECT_EQ(m.size(), 1u);
    int& a = m[key];
    EXPECT_EQ(a, 1);
    EXPECT_EQ(&a, &m[key]);
    EXPECT_EQ(m.Find(key, MapHash(key)), &a);
  }
}

TEST(StrMapTest, IteratesBucketByBucketInInsertionOrder) {
  CStrMap<int> m;
  std::vector<std::string> inserted;
  for (int i = 0; i < 200; ++i) {
    std::string k = "key" + std::to_string(i * 37 % 200);
    if (i % 9 == 0) k += std::string(30, '+');  // some long keys among them
    m[k] = i;
    inserted.push_back(k);
  }
  std::vector<std::string> expect = inserted;
  std::stable_sort(expect.begin(), expect.end(), [](const std::string& a, const std::string& b) {
    return (MapHash(a) & 31) < (MapHash(b) & 31);
  });
  EXPECT_EQ(Keys(m), expect);

  // The cursor walks the same order and ends at bucket 32 with no key.
  std::vector<std::string> walked;
  CStrMap<int>::Cursor c;
  m.Begin(c);
  std::string_view k;
  while (int* v = m.Next(c, &k)) {
    walked.emplace_back(k);
    EXPECT_EQ(*v, m[std::string(k)]);
  }
  EXPECT_EQ(walked, expect);
  EXPECT_EQ(c.bucket, 32);
  EXPECT_EQ(c.node, nullptr);
  EXPECT_TRUE(c.key.empty());

  CStrMap<int> empty;
  empty.Begin(c);
  EXPECT_EQ(c.bucket, 32);
  EXPECT_EQ(empty.Next(c), nullptr);
}

TEST(StrMapTest, CursorStopsWhenItsNodeIsRemoved) {
  CStrMap<int> m;
  for (const char* k : {"a", "b", "c"}) m[k] = 1;
  CStrMap<int>::Cursor c;
  m.Begin(c);
  std::string_view first;
  ASSERT_NE(m.Next(c, &first), nullptr);
  std::string next(c.key.view());
  ASSERT_FALSE(next.empty());
  m.Remove(next);
  EXPECT_EQ(m.Next(c), nullptr);
}

TEST(StrMapTest, RemovalKeepsOtherValuesInPlace) {
  CMapPool<CStrMap<int>::Node>* pool = CMapPool<CStrMap<int>::Node>::Create();
  {
    CStrMap<int> m(pool);
    std::vector<int*> where;
    for (int i = 0; i < 30; ++i) {
      int& v = m["k" + std::to_string(i)];
      v = i;
      where.push_back(&v);
    }
    EXPECT_EQ(pool->in_use(), 30u);
    auto removed = [](int i) { return i == 0 || i == 13 || i == 29 || i == 7; };
    for (int i = 0; i < 30; ++i) {
      if (removed(i)) {
        EXPECT_TRUE(m.Remove("k" + std::to_string(i))) << i;
      }
    }
    EXPECT_FALSE(m.Remove("k13"));
    EXPECT_EQ(m.size(), 26u);
    EXPECT_EQ(pool->in_use(), 26u);
    // New nodes reuse the freed slots without touching live ones.
    for (int i = 0; i < 10; ++i) m["new" + std::to_string(i)] = 100 + i;
    EXPECT_EQ(pool->in_use(), 36u);
    for (int i = 0; i < 30; ++i) {
      SCOPED_TRACE(i);
      int* v = m.Find("k" + std::to_string(i));
      if (removed(i)) {
        EXPECT_EQ(v, nullptr);
      } else {
        EXPECT_EQ(v, where[std::size_t(i)]);
        EXPECT_EQ(*v, i);
      }
    }
    for (int i = 0; i < 10; ++i) EXPECT_EQ(*m.Find("new" + std::to_string(i)), 100 + i) << i;
    EXPECT_EQ(m["k13"], 0);  // a reused node starts afresh
    m.Clear();
    EXPECT_EQ(pool->in_use(), 0u);
    EXPECT_EQ(m.size(), 0u);
  }
  pool->Release();
}

TEST(StrMapTest, LongKeys) {
  const std::string prefix(30, 'p');
  const std::string keys[] = {
      prefix,              // 30 bytes: still inline
      prefix + "1",        // 31 bytes: the long-key table
      prefix + "2",
      prefix + "1" + std::string(40, 'x'),
      std::string(29, 'p'),
  };
  std::uint32_t table_before = LongKeyTable().count();
  CStrMap<int> m;
  for (int i = 0; i < 5; ++i) m.InsertNew(keys[i]) = i;
  EXPECT_EQ(LongKeyTable().count() - table_before, 3u);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    ASSERT_NE(m.Find(keys[i]), nullptr);
    EXPECT_EQ(*m.Find(keys[i]), i);
  }
  EXPECT_EQ(m.Find(prefix + "3"), nullptr);

  // Another map reuses the table entries of equal keys.
  CStrMap<int> other;
  other[keys[1]] = 9;
  EXPECT_EQ(LongKeyTable().count() - table_before, 3u);
  EXPECT_EQ(Keys(other), std::vector<std::string>({keys[1]}));
}

TEST(StrMapTest, PoolSharedByTwoMaps) {
  using Pool = CMapPool<CStrMap<CStr_base<64>>::Node>;
  Pool* pool = Pool::Create();
  auto* a = new CStrMap<CStr_base<64>>(pool);
  CStrMap<CStr_base<64>> b(pool);
  pool->Release();  // the maps keep the pool alive
  for (int i = 0; i < 20; ++i) {
    (*a)["a" + std::to_string(i)] = "A";
    b["b" + std::to_string(i)] = "B";
  }
  EXPECT_EQ(pool->in_use(), 40u);
  CStr_base<64>* kept = b.Find("b5");
  a->Remove("a3");  // the slot swap moves a node of b inside the pool index
  delete a;
  EXPECT_EQ(pool->in_use(), 20u);
  EXPECT_EQ(b.Find("b5"), kept);
  for (int i = 0; i < 20; ++i) EXPECT_STREQ(b.Find("b" + std::to_string(i))->c_str(), "B") << i;
  b.Remove("b0");
  b["again"] = "C";
  EXPECT_STREQ(b.Find("again")->c_str(), "C");
}

TEST(StrMapTest, CopiesAreDeep) {
  CStrMap<CStr_base<64>> a;
  a["x"] = "1";
  a[std::string(40, 'L')] = "2";
  CStrMap<CStr_base<64>> b(a);
  b["x"] = "changed";
  b["y"] = "3";
  EXPECT_STREQ(a.Find("x")->c_str(), "1");
  EXPECT_EQ(a.Find("y"), nullptr);
  EXPECT_STREQ(b.Find(std::string(40, 'L'))->c_str(), "2");
  EXPECT_NE(a.Find("x"), b.Find("x"));
}

TEST(StrMapTest, LargeMapsKeepTheOrderThroughInsertsAndRemovals) {
  // Past a few dozen keys lookups go through an index; the order of the
  // chains, which decides written rule files, must be what 32 chains give.
  CStrMap<int> map;
  std::vector<std::string> model[32];  // per bucket, in insertion order
  auto key = [](int i) {
    if (i >= 20000) return "new" + std::to_string(i);
    return "key" + std::to_string(i * 7919 % 20000) + (i % 3 ? "" : std::string(40, 'L'));
  };
  for (int i = 0; i < 20000; ++i) {
    map[key(i)] = i;
    model[MapHash(key(i)) & 31].push_back(key(i));
  }
  for (int i = 0; i < 20000; i += 3) {  // every third key, long ones included
    ASSERT_TRUE(map.Remove(key(i)));
    auto& chain = model[MapHash(key(i)) & 31];
    chain.erase(std::find(chain.begin(), chain.end(), key(i)));
  }
  EXPECT_FALSE(map.Remove(key(0)));
  for (int i = 20000; i < 20100; ++i) {  // chains grow at their tails after removals
    map.InsertNew(key(i)) = i;
    model[MapHash(key(i)) & 31].push_back(key(i));
  }
  std::vector<std::string> want, got;
  for (const auto& chain : model) want.insert(want.end(), chain.begin(), chain.end());
  map.ForEach([&](std::string_view k, int) { got.emplace_back(k); });
  EXPECT_EQ(got, want);
  EXPECT_EQ(map.size(), want.size());
  for (int i = 0; i < 20100; ++i) {
    const int* v = map.Find(key(i));
    if (i % 3 == 0 && i < 20000) {
      EXPECT_EQ(v, nullptr) << i;
    } else {
      ASSERT_NE(v, nullptr) << i;
      EXPECT_EQ(*v, i);
    }
  }
  map.Clear();
  EXPECT_EQ(map.Find(key(1)), nullptr);
  map["again"] = 1;
  EXPECT_EQ(*map.Find("again"), 1);
}

TEST(StrMapTest, ReservedIndexAndFindOrInsertKeepTheOrder) {
  // Reserving sizes the index at once (at any size, before or after the
  // first keys); FindOrInsert inserts only what is missing. Neither may
  // change lookups or the chain order.
  for (const std::size_t reserve_at : {std::size_t(0), std::size_t(10), std::size_t(200)}) {
    SCOPED_TRACE(reserve_at);
    CStrMap<int> map;
    std::vector<std::string> model[32];
    for (int i = 0; i < 3000; ++i) {
      if (std::size_t(i) == reserve_at) map.Reserve(3000);
      const std::string k = "w" + std::to_string(i * 37 % 1500);  // each key twice
      bool inserted = false;
      int& v = map.FindOrInsert(k, &inserted);
      EXPECT_EQ(inserted, i < 1500) << i;  // i * 37 % 1500 repeats from i = 1500 on
      if (inserted) {
        v = i;
        model[MapHash(k) & 31].push_back(k);
      }
    }
    std::vector<std::string> want, got;
    for (const auto& chain : model) want.insert(want.end(), chain.begin(), chain.end());
    map.ForEach([&](std::string_view k, int) { got.emplace_back(k); });
    EXPECT_EQ(got, want);
    ASSERT_NE(map.Find("w37"), nullptr);
    EXPECT_EQ(*map.Find("w37"), 1);
  }
}

TEST(StrMapTest, DiscardedPoolDestroysTheNodesItself) {
  // Maps cleared after Discard only forget their nodes; the pool destroys
  // them with itself (the sanitizer build checks that nothing leaks).
  auto* pool = CMapPool<CStrMap<CStr>::Node>::Create();
  {
    CStrMap<CStr> a(pool), b(pool);
    for (int i = 0; i < 100; ++i) {
      a[std::to_string(i)] = CStr(std::string(100, 'a').c_str());
      b[std::to_string(i) + std::string(40, 'L')] = "b";
    }
    pool->Discard();
    a.Clear();
    EXPECT_EQ(a.size(), 0u);
    EXPECT_EQ(a.Find("1"), nullptr);
    EXPECT_EQ(pool->in_use(), 200u);
  }
  pool->Release();
}

}  // namespace
}  // namespace norvelle
