// StableList<T>: an append-only list whose items never move.
//
// Items live in chunks of kChunk; the table of chunks is sized once for the
// most items a list may hold (2^32), so appending never moves an item nor the
// table. A reader on another thread may therefore use every item that the
// appending thread has handed over (through a release/acquire pair of its
// own, see ElementFeed) while appending goes on, and the appending thread may
// recycle the chunks that the reader has passed. Not thread-safe otherwise.
// Untouched parts of the table cost address space only, and so do the parts
// of a chunk not yet reached: items are made as they are appended.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <vector>

namespace norvelle {

template <class T>
class StableList {
  static_assert(std::is_trivially_destructible_v<T>, "chunks are freed without destroying their items");

 public:
  static constexpr std::size_t kChunkBits = 14;
  static constexpr std::size_t kChunk = std::size_t(1) << kChunkBits;
  static constexpr std::size_t kMaxChunks = (std::size_t(1) << 32) >> kChunkBits;

  StableList() = default;
  StableList(const StableList&) = delete;
  StableList& operator=(const StableList&) = delete;
  ~StableList() {
    if (chunks_)
      for (std::size_t c = first_live_; c < ends_; ++c) FreeChunk(chunks_[c]);
    for (T* chunk : spare_) FreeChunk(chunk);
    std::free(chunks_);
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  T& operator[](std::size_t i) { return chunks_[i >> kChunkBits][i & (kChunk - 1)]; }
  const T& operator[](std::size_t i) const { return chunks_[i >> kChunkBits][i & (kChunk - 1)]; }
  T& back() { return (*this)[size_ - 1]; }
  const T& back() const { return (*this)[size_ - 1]; }

  T& emplace_back() {
    if ((size_ & (kChunk - 1)) == 0) AddChunk();
    T* item = new (&(*this)[size_]) T();  // over an old item in a recycled chunk
    ++size_;
    return *item;
  }
  void push_back(const T& v) { emplace_back() = v; }

  // The items before `below` will not be used again: their whole chunks are
  // kept aside and reused for new items, so a list that is read as it grows
  // needs only the chunks between its reader and its end.
  void Recycle(std::size_t below) {
    const std::size_t end = std::min(below, size_) >> kChunkBits;
    for (; first_live_ < end; ++first_live_) {
      spare_.push_back(chunks_[first_live_]);
      chunks_[first_live_] = nullptr;
    }
  }

 private:
  void AddChunk() {
    const std::size_t c = size_ >> kChunkBits;
    if (c >= kMaxChunks) throw std::bad_alloc();
    if (!chunks_) {
      // calloc: the table's pages are the system's zero pages until written.
      chunks_ = static_cast<T**>(std::calloc(kMaxChunks, sizeof(T*)));
      if (!chunks_) throw std::bad_alloc();
    }
    if (!spare_.empty()) {
      chunks_[c] = spare_.back();
      spare_.pop_back();
    } else {
      chunks_[c] = NewChunk();
    }
    ends_ = std::max(ends_, c + 1);
  }

  // Raw storage: a chunk's pages are taken only as its items are written.
  static T* NewChunk() {
    return static_cast<T*>(::operator new(sizeof(T) * kChunk, std::align_val_t(alignof(T))));
  }
  static void FreeChunk(T* chunk) { ::operator delete(chunk, std::align_val_t(alignof(T))); }

  T** chunks_ = nullptr;
  std::vector<T*> spare_;
  std::size_t size_ = 0;
  std::size_t first_live_ = 0;  // chunks before it were recycled
  std::size_t ends_ = 0;        // chunks up to here were made
};

}  // namespace norvelle
