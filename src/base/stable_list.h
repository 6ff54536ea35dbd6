// StableList<T>: an append-only list whose items never move.
//
// Items live in chunks of kChunk; the table of chunks is sized once for the
// most items a list may hold (2^32), so appending never moves an item nor the
// table. A reader on another thread may therefore use every item that the
// appending thread has handed over (through a release/acquire pair of its
// own, see ElementFeed) while appending goes on. Not thread-safe otherwise.
// Untouched parts of the table cost address space only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

namespace norvelle {

template <class T>
class StableList {
 public:
  static constexpr std::size_t kChunkBits = 14;
  static constexpr std::size_t kChunk = std::size_t(1) << kChunkBits;
  static constexpr std::size_t kMaxChunks = (std::size_t(1) << 32) >> kChunkBits;

  StableList() = default;
  StableList(const StableList&) = delete;
  StableList& operator=(const StableList&) = delete;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  T& operator[](std::size_t i) { return chunks_[i >> kChunkBits][i & (kChunk - 1)]; }
  const T& operator[](std::size_t i) const { return chunks_[i >> kChunkBits][i & (kChunk - 1)]; }
  T& back() { return (*this)[size_ - 1]; }
  const T& back() const { return (*this)[size_ - 1]; }

  T& emplace_back() {
    if ((size_ & (kChunk - 1)) == 0) AddChunk();
    T& item = (*this)[size_];
    item = T();  // a chunk's items were made when it was; clear() keeps them
    ++size_;
    return item;
  }
  void push_back(const T& v) { emplace_back() = v; }

  // Forgets the items; the chunks stay for reuse.
  void clear() { size_ = 0; }

 private:
  void AddChunk() {
    const std::size_t c = size_ >> kChunkBits;
    if (c >= kMaxChunks) throw std::bad_alloc();
    if (!chunks_) {
      // calloc: the table's pages are the system's zero pages until written.
      chunks_.reset(static_cast<T**>(std::calloc(kMaxChunks, sizeof(T*))));
      if (!chunks_) throw std::bad_alloc();
    }
    if (!chunks_[c]) chunks_[c] = new T[kChunk];
  }

  struct FreeChunks {
    void operator()(T** table) const {
      for (std::size_t c = 0; c < kMaxChunks && table[c]; ++c) delete[] table[c];
      std::free(table);
    }
  };
  std::unique_ptr<T*[], FreeChunks> chunks_;
  std::size_t size_ = 0;
};

}  // namespace norvelle
