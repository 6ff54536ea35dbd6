// CArrayAuto<T> and CStrArray_base<N>: owning arrays whose elements never move.
//
// Elements are created in blocks and stay at their address until the array is
// destroyed, so pointers to them survive growth; only the pointer index is
// copied, in steps of 1000 slots. Elements past the count stay constructed and
// are reused. Blocks hold the growth step (10 at first, x5 each time more than
// 10 steps exist). Failures are thrown as plain values: a bad index as the
// index (unsigned), a failed block as a null T*, a refused initialisation as
// the requested count (unsigned).
//
// Not thread-safe. Not for hot per-byte paths: use std::vector there.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "base/str.h"

namespace norvelle {

template <class T>
class CArrayAuto {
 public:
  using InitHook = bool (*)(T* elems, std::uint32_t count, void* user, CArrayAuto* array);
  using ResetHook = void (*)(T* elems, std::uint32_t count, void* user, CArrayAuto* array);

  CArrayAuto() = default;
  CArrayAuto(const CArrayAuto& o) : step_(10) { CopyFrom(o); }
  CArrayAuto& operator=(const CArrayAuto& o) {
    if (this != &o) {
      Clear();
      CopyFrom(o);
    }
    return *this;
  }
  CArrayAuto(CArrayAuto&& o) noexcept { Steal(o); }
  CArrayAuto& operator=(CArrayAuto&& o) noexcept {
    if (this != &o) {
      FreeBlocks();
      Steal(o);
    }
    return *this;
  }
  virtual ~CArrayAuto() { FreeBlocks(); }

  std::uint32_t count() const { return count_; }
  std::uint32_t allocated() const { return allocated_; }
  std::uint32_t index_capacity() const { return index_cap_; }
  std::uint32_t growth_step() const { return step_; }
  std::uint32_t block_count() const {
    std::uint32_t n = 0;
    for (const Block* b = first_; b; b = b->next) ++n;
    return n;
  }
  bool empty() const { return count_ == 0; }

  T& operator[](std::uint32_t i) {
    if (i >= count_) throw i;
    return *index_[i];
  }
  const T& operator[](std::uint32_t i) const {
    if (i >= count_) throw i;
    return *index_[i];
  }
  T& back() { return (*this)[count_ - 1]; }

  // One more element in use; a reused element may still hold an old value.
  T& Add() {
    Resize(count_ + 1);
    return *index_[count_ - 1];
  }
  T& AddCopy(const T& v) {
    T& e = Add();
    e = v;
    return e;
  }

  void Resize(std::uint32_t n) {
    if (n > count_) {
      if (n > allocated_) Grow(n);
      if (!InitElements(count_, n - count_)) throw n;
      count_ = n;
    } else if (n < count_) {
      ResetElements(n, count_ - n);
      count_ = n;
    }
  }

  // Returns the new count, or -1 when already empty.
  int RemoveLast() {
    if (count_ == 0) return -1;
    ResetElements(count_ - 1, 1);
    --count_;
    return int(count_);
  }

  void Clear() { Resize(0); }

  // Back to the constructed state, keeping the growth step.
  void FreeAll() {
    Clear();
    std::uint32_t step = step_;
    FreeBlocks();
    step_ = step;
  }

  void SetHooks(InitHook init, ResetHook reset, void* user) {
    init_hook_ = init;
    reset_hook_ = reset;
    user_ = user;
  }

  // Trades the index slots of two elements (pools give slots back this way).
  void SwapSlots(std::uint32_t a, std::uint32_t b) { std::swap(index_[a], index_[b]); }

 protected:
  // Runs of elements coming into and going out of use. A run may span blocks,
  // so the hooks see one element at a time.
  virtual bool InitElements(std::uint32_t first, std::uint32_t n) {
    if (!init_hook_) return true;
    for (std::uint32_t i = 0; i < n; ++i)
      if (!init_hook_(index_[first + i], 1, user_, this)) return false;
    return true;
  }
  virtual void ResetElements(std::uint32_t first, std::uint32_t n) {
    if (!reset_hook_) return;
    for (std::uint32_t i = 0; i < n; ++i) reset_hook_(index_[first + i], 1, user_, this);
  }
  T* Slot(std::uint32_t i) { return index_[i]; }

 private:
  struct Block {
    T* storage;
    std::uint32_t size;
    Block* next;
  };

  // Everything is allocated before anything is linked, so a failure leaves
  // the array as it was and leaks nothing.
  void Grow(std::uint32_t n) {
    std::uint32_t size = n - allocated_;
    if (size < step_) size = step_;
    std::unique_ptr<T[]> storage;
    std::unique_ptr<Block> b;
    try {
      storage.reset(new T[size]);
      b.reset(new Block{storage.get(), size, nullptr});
    } catch (const std::bad_alloc&) {
      throw static_cast<T*>(nullptr);
    }
    std::uint32_t need = allocated_ + size;
    if (index_cap_ < need) {
      std::uint32_t ncap = ((need + 1000) / 1000) * 1000 + 1;
      T** ni = new T*[ncap];
      for (std::uint32_t i = 0; i < allocated_; ++i) ni[i] = index_[i];
      delete[] index_;
      index_ = ni;
      index_cap_ = ncap;
    }
    storage.release();
    Block* blk = b.release();
    if (last_) last_->next = blk; else first_ = blk;
    last_ = blk;
    for (std::uint32_t i = 0; i < size; ++i) index_[allocated_ + i] = blk->storage + i;
    allocated_ += size;
    if (allocated_ > 10 * step_) step_ *= 5;
  }

  void FreeBlocks() {
    for (Block* b = first_; b;) {
      Block* nx = b->next;
      delete[] b->storage;
      delete b;
      b = nx;
    }
    delete[] index_;
    first_ = last_ = nullptr;
    index_ = nullptr;
    allocated_ = count_ = index_cap_ = 0;
    step_ = 10;
  }

  void CopyFrom(const CArrayAuto& o) {
    for (std::uint32_t i = 0; i < o.count_; ++i) AddCopy(*o.index_[i]);
  }

  void Steal(CArrayAuto& o) {
    allocated_ = o.allocated_;
    count_ = o.count_;
    index_cap_ = o.index_cap_;
    step_ = o.step_;
    first_ = o.first_;
    last_ = o.last_;
    index_ = o.index_;
    init_hook_ = o.init_hook_;
    reset_hook_ = o.reset_hook_;
    user_ = o.user_;
    o.first_ = o.last_ = nullptr;
    o.index_ = nullptr;
    o.allocated_ = o.count_ = o.index_cap_ = 0;
    o.step_ = 10;
  }

  std::uint32_t allocated_ = 0;
  std::uint32_t count_ = 0;
  std::uint32_t index_cap_ = 0;
  std::uint32_t step_ = 10;
  Block* first_ = nullptr;
  Block* last_ = nullptr;
  T** index_ = nullptr;
  InitHook init_hook_ = nullptr;
  ResetHook reset_hook_ = nullptr;
  void* user_ = nullptr;
};

// Array of strings. With release-on-reset set (the default) strings going out
// of use give their buffers back; cleared, the buffers are kept for reuse.
template <std::uint32_t N>
class CStrArray_base : public CArrayAuto<CStr_base<N>> {
 public:
  bool release_on_reset() const { return release_; }
  void set_release_on_reset(bool on) { release_ = on; }

 protected:
  void ResetElements(std::uint32_t first, std::uint32_t n) override {
    CArrayAuto<CStr_base<N>>::ResetElements(first, n);
    for (std::uint32_t i = 0; i < n; ++i) {
      CStr_base<N>* s = this->Slot(first + i);
      if (release_) s->Release(); else s->Clear();
    }
  }

 private:
  bool release_ = true;
};

}  // namespace norvelle
