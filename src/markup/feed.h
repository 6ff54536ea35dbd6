// ElementFeed: hands elements from pass 1 on one thread to pass 2 on another.
//
// Pass 1 publishes how many elements are final (it changes none of them any
// more, nor their arguments and split keys) and finally closes the feed; pass 2
// waits for the element it needs. Either side may stop the other: pass 2 by
// `Stop` (cancelled), pass 1 by `Abandon` (it failed). `MarkLate` tells a
// pass 2 that streams its output that the header may still change. Pass 2
// says which elements it is done with, so that pass 1 can recycle them and
// wait instead of running far ahead (memory stays bounded).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace norvelle {

class ElementFeed {
 public:
  // Pass 1: elements below n are final.
  void Publish(std::size_t n) {
    ready_.store(n);
    Wake();
  }
  // Pass 1 met an element that changes the header or the footer late (set
  // before that element is published).
  void MarkLate() { late_.store(true); }
  bool late() const { return late_.load(std::memory_order_acquire); }
  // Pass 2 must give up: pass 1 failed.
  void Abandon() {
    abandoned_.store(true);
    Wake();
  }
  // Pass 1 is over: what it published is all there is.
  void Close() {
    closed_.store(true);
    Wake();
  }
  bool closed() const { return closed_.load(std::memory_order_acquire); }
  bool abandoned() const { return abandoned_.load(std::memory_order_acquire); }

  // Pass 2: the number of final elements once it exceeds i, or once pass 1
  // is over; 0 when pass 2 must give up. `idle` is called about every
  // millisecond of waiting; when it returns true, waiting ends with 0 too.
  template <class Idle>
  std::size_t WaitBeyond(std::size_t i, Idle&& idle) {
    for (;;) {
      if (abandoned()) return 0;
      std::size_t n = ready_.load(std::memory_order_acquire);
      if (n > i) return n;
      if (closed()) return abandoned() ? 0 : ready_.load(std::memory_order_acquire);
      std::unique_lock<std::mutex> lock(mutex_);
      waiting_.store(true);
      if (producer_waiting_.load()) room_.notify_one();  // pass 1 must go on for us
      if (ready_.load() <= i && !closed_.load())
        wake_.wait_for(lock, std::chrono::milliseconds(1));
      waiting_.store(false);
      lock.unlock();
      if (idle()) return 0;
    }
  }

  // Pass 2: elements before i are done with; it reads none of them again.
  void Consumed(std::size_t i) {
    consumed_.store(i);
    if (producer_waiting_.load()) {
      std::lock_guard<std::mutex> lock(mutex_);
      room_.notify_one();
    }
  }
  std::size_t consumed() const { return consumed_.load(std::memory_order_acquire); }

  // Pass 1, holding n elements: waits while more than `lag` of them lie
  // ahead of pass 2, unless pass 2 waits for pass 1 (a listing longer than
  // that) or is stopped.
  void WaitForRoom(std::size_t n, std::size_t lag) {
    while (n > consumed() + lag && !waiting_.load() && !stopped()) {
      std::unique_lock<std::mutex> lock(mutex_);
      producer_waiting_.store(true);
      if (n > consumed_.load() + lag && !waiting_.load() && !stopped())
        room_.wait_for(lock, std::chrono::milliseconds(1));
      producer_waiting_.store(false);
    }
  }

  // Pass 2: pass 1 should stop at its next line.
  void Stop() { stop_.store(true, std::memory_order_relaxed); }
  bool stopped() const { return stop_.load(std::memory_order_relaxed); }

 private:
  void Wake() {
    if (waiting_.load()) {
      std::lock_guard<std::mutex> lock(mutex_);
      wake_.notify_one();
    }
  }

  std::atomic<std::size_t> ready_{0}, consumed_{0};
  std::atomic<bool> closed_{false}, abandoned_{false}, late_{false}, stop_{false}, waiting_{false},
      producer_waiting_{false};
  std::mutex mutex_;
  std::condition_variable wake_, room_;
};

}  // namespace norvelle
