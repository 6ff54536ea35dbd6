// Hash maps with a fixed iteration order.
//
// CNumMap<T>: integer keys, 64 buckets (key mod 64), nodes CNumMapElement.
// CStrMap<V>: string keys, 32 buckets, nodes CMapElement<V,32>. The hash of a
// key is the 32-bit sum of (byte as signed char) * (257 + position); the bucket
// is its low five bits. Keys of up to 30 bytes live inline in the node; longer
// ones go to one process-wide long-key table. Iteration visits buckets 0..31
// and each chain in insertion order: this order decides the bytes of written
// rule files, so it must never change. Past kIndexFrom keys a string map
// also keeps an index by key and a tail per chain, so lookups and inserts in
// large sections stay constant-time (32 fixed chains alone would make loading
// N keys cost N^2/64 comparisons); the chains, and so the order, are as before.
//
// Nodes come from a reference-counted pool that several maps may share; nodes
// never move, so value pointers stay valid until their node is removed. An
// owner that drops a pool with all its maps marks it Discard first, so the
// nodes go block by block. Large maps are walked chain by chain all at once
// and sized up front where the caller knows roughly how many keys will come
// (Reserve): at a million keys each node and index slot is a cache miss.
// Duplicate inserts throw the key (int for CNumMap, const char* for CStrMap).
// Not thread-safe: the long-key table is shared by all maps.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <functional>
#include <vector>
#include <utility>

#include "base/array.h"
#include "base/str.h"

namespace norvelle {

// Node pool: owns nodes, hands out slots, takes them back by slot swap.
template <class Node>
class CMapPool {
 public:
  // Owners report a pool they cannot create as "bad allocation".
  static CMapPool* Create() {
    try {
      return new CMapPool();
    } catch (const std::bad_alloc&) {
      throw BadAllocation();
    }
  }
  void AddRef() { ++refs_; }
  void Release() {
    if (--refs_ == 0) delete this;
  }
  Node* Take() {
    Node& n = nodes_.Add();
    n.slot = nodes_.count() - 1;
    return &n;
  }
  void GiveBack(Node* n) {
    std::uint32_t last = nodes_.count() - 1;
    if (n->slot != last) {
      Node& moved = nodes_[last];
      nodes_.SwapSlots(n->slot, last);
      moved.slot = n->slot;
    }
    n->Reset();
    nodes_.RemoveLast();
  }
  std::uint32_t in_use() const { return nodes_.count(); }
  // The owner is about to drop every map on this pool and then the pool: a
  // map cleared from now on just forgets its nodes, which the pool destroys
  // block by block instead of taking them back one at a time in chain order
  // (for a large map, a cache miss or two per node).
  void Discard() { discarding_ = true; }
  bool discarding() const { return discarding_; }

 private:
  CMapPool() = default;
  ~CMapPool() = default;
  int refs_ = 1;
  bool discarding_ = false;
  CArrayAuto<Node> nodes_;
};

template <class T, class K>
struct CNumMapElement {
  K key{};
  T value{};
  CNumMapElement* next = nullptr;
  std::uint32_t slot = 0;
  void Reset() {
    value = T();
    next = nullptr;
  }
};

template <class T>
class CNumMap {
 public:
  using Node = CNumMapElement<T, int>;
  static constexpr int kBuckets = 64;

  explicit CNumMap(CMapPool<Node>* pool = nullptr) : pool_(pool ? pool : CMapPool<Node>::Create()) {
    if (pool) pool_->AddRef();
  }
  CNumMap(const CNumMap& o) : CNumMap() { CopyFrom(o); }
  CNumMap& operator=(const CNumMap& o) {
    if (this != &o) {
      Clear();
      CopyFrom(o);
    }
    return *this;
  }
  ~CNumMap() {
    Clear();
    pool_->Release();
  }

  static int Bucket(int key) { return ((key % kBuckets) + kBuckets) % kBuckets; }

  T* Find(int key) {
    for (Node* n = heads_[Bucket(key)]; n; n = n->next)
      if (n->key == key) return &n->value;
    return nullptr;
  }
  const T* Find(int key) const { return const_cast<CNumMap*>(this)->Find(key); }
  T& operator[](int key) {
    if (T* v = Find(key)) return *v;
    return Insert(key);
  }
  T& InsertNew(int key) {
    if (Find(key)) throw key;
    return Insert(key);
  }
  bool Remove(int key) {
    Node** link = &heads_[Bucket(key)];
    for (Node* n = *link; n; link = &n->next, n = n->next) {
      if (n->key == key) {
        *link = n->next;
        --size_;
        pool_->GiveBack(n);
        return true;
      }
    }
    return false;
  }
  void Clear() {
    for (int b = 0; b < kBuckets; ++b) {
      while (Node* n = heads_[b]) {
        heads_[b] = n->next;
        pool_->GiveBack(n);
      }
    }
    size_ = 0;
  }
  std::uint32_t size() const { return size_; }

  // Calls f(key, value) in iteration order.
  template <class F>
  void ForEach(F&& f) const {
    for (int b = 0; b < kBuckets; ++b)
      for (Node* n = heads_[b]; n; n = n->next) f(n->key, n->value);
  }

 private:
  T& Insert(int key) {
    Node* n = pool_->Take();
    n->key = key;
    n->value = T();
    n->next = nullptr;
    Node** link = &heads_[Bucket(key)];
    while (*link) link = &(*link)->next;
    *link = n;
    ++size_;
    return n->value;
  }
  void CopyFrom(const CNumMap& o) {
    o.ForEach([&](int k, const T& v) { Insert(k) = v; });
  }

  CMapPool<Node>* pool_;
  Node* heads_[kBuckets] = {};
  std::uint32_t size_ = 0;
};

// The key hash of the string-keyed map.
// Computed modulo 2^32 so that very long keys wrap instead of overflowing.
inline std::uint32_t MapHash(std::string_view key) {
  std::uint32_t h = 0;
  for (std::size_t i = 0; i < key.size(); ++i)
    h += std::uint32_t(std::int32_t(static_cast<signed char>(key[i]))) * std::uint32_t(257 + i);
  return h;
}

// Process-wide table of keys longer than the inline field allows.
CStrArray_base<64>& LongKeyTable();
std::uint32_t LongKeyIndex(std::string_view key);

template <class V, int W>
struct CMapElement {
  static constexpr int kInline = W - 2;  // 30 bytes for W = 32
  char key[W] = {};
  std::uint8_t inline_len = 0;
  bool is_long = false;
  std::uint32_t hash = 0;
  V value{};
  CMapElement* next = nullptr;
  std::uint32_t slot = 0;

  void SetKey(std::string_view k) {
    std::memset(key, 0, sizeof key);
    if (k.size() <= std::size_t(kInline)) {
      std::memcpy(key, k.data(), k.size());
      inline_len = std::uint8_t(k.size());
      is_long = false;
    } else {
      std::uint32_t idx = LongKeyIndex(k);
      std::memcpy(key + 4, &idx, 4);
      is_long = true;
    }
  }
  std::string_view Key() const {
    if (!is_long) return std::string_view(key, inline_len);
    std::uint32_t idx;
    std::memcpy(&idx, key + 4, 4);
    return LongKeyTable()[idx].view();
  }
  void Reset() {
    value = V();
    next = nullptr;
  }
};

template <class V>
class CStrMap {
 public:
  using Node = CMapElement<V, 32>;
  // Fixed: the bucket order is the iteration order, which decides the byte
  // order of written rule files.
  static constexpr int kBuckets = 32;
  static constexpr std::uint32_t kIndexFrom = 64;

  explicit CStrMap(CMapPool<Node>* pool = nullptr) : pool_(pool ? pool : CMapPool<Node>::Create()) {
    if (pool) pool_->AddRef();
  }
  CStrMap(const CStrMap& o) : CStrMap() { CopyFrom(o); }
  CStrMap& operator=(const CStrMap& o) {
    if (this != &o) {
      Clear();
      CopyFrom(o);
    }
    return *this;
  }
  ~CStrMap() {
    Clear();
    pool_->Release();
  }

  V* Find(std::string_view key) { return Find(key, MapHash(key)); }
  V* Find(std::string_view key, std::uint32_t hash) {
    Node* n = FindNode(key, hash);
    return n ? &n->value : nullptr;
  }
  const V* Find(std::string_view key) const { return const_cast<CStrMap*>(this)->Find(key); }

  // Iteration that notices changes: the cursor keeps a copy of the key of
  // its next node and looks it up again before delivering the node.
  struct Cursor {
    int bucket = kBuckets;  // kBuckets once past the last node
    Node* node = nullptr;
    CStr_base<64> key;
  };
  void Begin(Cursor& c) const {
    c.bucket = 0;
    c.node = nullptr;
    c.key.Clear();
    Settle(c, 0);
  }
  // Delivers the cursor's node and moves on. Null past the last node, or when
  // the node is no longer found under its key (the map changed).
  V* Next(Cursor& c, std::string_view* key = nullptr) {
    if (!c.node) return nullptr;
    Node* n = FindNode(c.key.view(), MapHash(c.key.view()));
    if (n != c.node) return nullptr;
    if (key) *key = n->Key();
    if (n->next) {
      c.node = n->next;
      c.key.Assign(c.node->Key().data(), c.node->Key().size());
    } else {
      Settle(c, c.bucket + 1);
    }
    return &n->value;
  }

  V& InsertNew(std::string_view key) { return InsertNew(key, MapHash(key)); }
  V& InsertNew(std::string_view key, std::uint32_t hash) {
    if (Node* n = FindNode(key, hash)) throw static_cast<const char*>(n->Key().data());
    return Insert(key, hash);
  }
  V& operator[](std::string_view key) {
    std::uint32_t h = MapHash(key);
    if (Node* n = FindNode(key, h)) return n->value;
    return Insert(key, h);
  }
  // The value of key, inserted (value-initialised) when absent; *inserted
  // tells which. One lookup where Find and InsertNew would take two.
  V& FindOrInsert(std::string_view key, bool* inserted) {
    std::uint32_t h = MapHash(key);
    Node* n = FindNode(key, h);
    *inserted = n == nullptr;
    return n ? n->value : Insert(key, h);
  }
  // Asks for the index slot of a key about to be looked up, so that its cache
  // miss overlaps other work. Changes nothing.
  void Prefetch(std::string_view key) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[StrongHash(key) & (slots_.size() - 1)]);
  }
  // Sizes the index for `count` keys at once, so that filling a large map
  // does not rebuild it at every doubling. Below kIndexFrom it does nothing.
  void Reserve(std::size_t count) {
    if (count < kIndexFrom || 2 * count <= slots_.size()) return;
    std::size_t capacity = slots_.empty() ? 4 * kIndexFrom : slots_.size();
    while (capacity < 2 * count) capacity *= 2;
    try {
      Rebuild(capacity);
    } catch (const std::bad_alloc&) {
      slots_.clear();
      used_ = 0;
      throw BadAllocation();
    }
  }
  bool Remove(std::string_view key) {
    std::uint32_t h = MapHash(key);
    if (!slots_.empty() && !FindNode(key, h)) return false;
    Node** link = &heads_[h % kBuckets];
    Node* prev = nullptr;
    for (Node* n = *link; n; prev = n, link = &n->next, n = n->next) {
      if (Matches(n, key, h)) {
        *link = n->next;
        if (tails_[h % kBuckets] == n) tails_[h % kBuckets] = prev;
        if (!slots_.empty()) IndexErase(n);
        --size_;
        pool_->GiveBack(n);
        return true;
      }
    }
    return false;
  }
  void Clear() {
    slots_.clear();
    slots_.shrink_to_fit();
    used_ = 0;
    if (pool_->discarding()) {
      for (int b = 0; b < kBuckets; ++b) heads_[b] = tails_[b] = nullptr;
      size_ = 0;
      return;
    }
    for (int b = 0; b < kBuckets; ++b) {
      while (Node* n = heads_[b]) {
        heads_[b] = n->next;
        pool_->GiveBack(n);
      }
      tails_[b] = nullptr;
    }
    size_ = 0;
  }
  std::uint32_t size() const { return size_; }

  // Calls f(key, value) in iteration order: buckets 0..31, insertion order.
  template <class F>
  void ForEach(F&& f) const {
    Visit([&](Node* n) { f(n->Key(), static_cast<const V&>(n->value)); });
  }
  template <class F>
  void ForEachMutable(F&& f) {
    Visit([&](Node* n) { f(n->Key(), n->value); });
  }

 private:
  // Visits the nodes in iteration order. The nodes of a chain lie far apart
  // in a large map, and following one chain waits for one cache miss after
  // another: there the 32 chains are first walked side by side (their
  // misses overlap) into lists, and each node is fetched a few ahead.
  template <class G>
  void Visit(G&& g) const {
    if (size_ < kGatherFrom) {
      for (int b = 0; b < kBuckets; ++b)
        for (Node* n = heads_[b]; n; n = n->next) g(n);
      return;
    }
    std::vector<Node*> chains[kBuckets];
    Node* at[kBuckets];
    for (int b = 0; b < kBuckets; ++b) at[b] = heads_[b];
    for (bool more = true; more;) {
      more = false;
      for (int b = 0; b < kBuckets; ++b) {
        if (Node* n = at[b]) {
          chains[b].push_back(n);
          at[b] = n->next;
          more = true;
        }
      }
    }
    constexpr std::size_t kAhead = 8;
    for (const std::vector<Node*>& chain : chains) {
      for (std::size_t i = 0; i < chain.size(); ++i) {
        if (i + kAhead < chain.size()) __builtin_prefetch(chain[i + kAhead]);
        g(chain[i]);
      }
    }
  }
  static constexpr std::uint32_t kGatherFrom = 4096;

  // Points the cursor at the first node of the first non-empty bucket >= b.
  void Settle(Cursor& c, int b) const {
    while (b < kBuckets && !heads_[b]) ++b;
    c.bucket = b;
    c.node = b < kBuckets ? heads_[b] : nullptr;
    if (c.node) c.key.Assign(c.node->Key().data(), c.node->Key().size());
    else c.key.Clear();
  }
  static bool Matches(const Node* n, std::string_view key, std::uint32_t h) {
    return n->hash == h && n->Key() == key;
  }
  Node* FindNode(std::string_view key, std::uint32_t h) {
    if (!slots_.empty()) return IndexFind(key);
    for (Node* n = heads_[h % kBuckets]; n; n = n->next)
      if (Matches(n, key, h)) return n;
    return nullptr;
  }
  V& Insert(std::string_view key, std::uint32_t h) {
    Node* n = pool_->Take();
    n->SetKey(key);
    n->hash = h;
    n->value = V();
    n->next = nullptr;
    Node*& tail = tails_[h % kBuckets];
    (tail ? tail->next : heads_[h % kBuckets]) = n;
    tail = n;
    ++size_;
    if (!slots_.empty() || size_ >= kIndexFrom) {
      try {
        const bool first = slots_.empty();
        if ((used_ + 1) * 2 > slots_.size()) Rebuild(first ? 4 * kIndexFrom : slots_.size() * 2);
        if (!first) IndexPut(n, StrongHash(n->Key()));
      } catch (const std::bad_alloc&) {
        slots_.clear();  // lookups fall back to the chains
        used_ = 0;
        throw BadAllocation();
      }
    }
    return n->value;
  }

  // The index: open addressing with linear probing over (hash, node) slots,
  // kept at most half full. A strong hash of its own, as MapHash is a plain
  // sum. Nodes never move, so the slots can point at them.
  struct Slot {
    std::uint64_t hash = 0;
    Node* node = nullptr;
  };
  static std::uint64_t StrongHash(std::string_view key) { return std::hash<std::string_view>{}(key); }
  Node* IndexFind(std::string_view key) const {
    const std::uint64_t hs = StrongHash(key);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hs & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (!slot.node) return nullptr;
      if (slot.hash == hs && slot.node->Key() == key) return slot.node;
    }
  }
  void IndexPut(Node* n, std::uint64_t hs) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hs & mask;
    while (slots_[i].node) i = (i + 1) & mask;
    slots_[i] = Slot{hs, n};
    ++used_;
  }
  // Backward-shift deletion: later slots of the same run move up, so no
  // probe ever stops early at the gap.
  void IndexErase(const Node* n) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = StrongHash(n->Key()) & mask;
    while (slots_[i].node != n) i = (i + 1) & mask;
    for (std::size_t j = (i + 1) & mask; slots_[j].node; j = (j + 1) & mask) {
      const std::size_t home = slots_[j].hash & mask;
      // Move j into the gap at i unless its home lies cyclically in (i, j].
      if (((j - home) & mask) >= ((j - i) & mask)) {
        slots_[i] = slots_[j];
        i = j;
      }
    }
    slots_[i] = Slot{};
    --used_;
  }
  // Grows the index; the first one is built from the chains (whose newest
  // node is not in the old index yet), later ones from the old slots, which
  // is a sequential walk instead of one through scattered nodes.
  void Rebuild(std::size_t capacity) {
    while (capacity < 2 * (std::size_t(size_) + 1)) capacity *= 2;
    std::vector<Slot> old(capacity);
    old.swap(slots_);
    used_ = 0;
    if (old.empty()) {
      for (int b = 0; b < kBuckets; ++b)
        for (Node* n = heads_[b]; n; n = n->next) IndexPut(n, StrongHash(n->Key()));
      return;
    }
    for (const Slot& slot : old)
      if (slot.node) IndexPut(slot.node, slot.hash);
  }
  void CopyFrom(const CStrMap& o) {
    o.ForEach([&](std::string_view k, const V& v) { Insert(k, MapHash(k)) = v; });
  }

  CMapPool<Node>* pool_;
  Node* heads_[kBuckets] = {};
  Node* tails_[kBuckets] = {};
  std::uint32_t size_ = 0;
  std::vector<Slot> slots_;  // empty below kIndexFrom keys
  std::size_t used_ = 0;
};

}  // namespace norvelle
