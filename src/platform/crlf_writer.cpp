#include "platform/crlf_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "platform/system_error.h"
#include "platform/text_mode.h"
#include "platform/thread.h"

namespace norvelle {

namespace {

std::error_code WriteAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return LastSystemError();
    }
    p += w;
    n -= std::size_t(w);
  }
  return {};
}

}  // namespace

// Buffers have room for twice a piece: given buffers (Give) travel back to the producer.
CrlfWriter::CrlfWriter(int fd) : fd_(fd) { fill_.reserve(2 * kSize); }

bool CrlfWriter::Put(std::string_view s) {
  while (!s.empty() && ok_) {
    const std::size_t room = kSize - std::min(kSize, fill_.size());
    const std::size_t n = std::min(room, s.size());
    fill_.append(s.data(), n);
    s.remove_prefix(n);
    if (fill_.size() >= kSize) HandOver();
  }
  return ok_;
}

bool CrlfWriter::Give(std::string& s) {
  if (!ok_) return false;
  if (s.empty()) return true;
  if (!fill_.empty()) HandOver();  // what came before goes first
  if (!ok_) return false;
  std::swap(fill_, s);
  HandOver();
  s.clear();
  return ok_;
}

std::error_code CrlfWriter::Flush() {
  if (!fill_.empty() && ok_) {
    if (thread_.joinable()) {
      HandOver();
    } else {
      ok_ = WriteOut(fill_);
      fill_.clear();
    }
  }
  Stop();
  return Result();
}

std::error_code CrlfWriter::Finish() {
  Abandon();
  return Result();
}

// Queues the full buffer for the second thread; the producer goes on with a
// recycled one. A few buffers may wait: the time a write takes varies (the
// disk), and the producer should not wait for each.
void CrlfWriter::HandOver() {
  if (!thread_.joinable()) thread_ = QuietThread("nv-write", [this] { Drain(); });
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return queue_.size() < kQueued || failed_; });
  if (failed_) {
    ok_ = false;
    return;
  }
  queue_.push_back(std::move(fill_));
  if (spare_.empty()) {
    lock.unlock();
    fill_ = std::string();
    fill_.reserve(2 * kSize);
  } else {
    fill_ = std::move(spare_.back());
    spare_.pop_back();
    lock.unlock();
  }
  fill_.clear();
  ready_.notify_one();
}

void CrlfWriter::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  ready_.notify_one();
  thread_.join();
  if (failed_) ok_ = false;
}

// Stops the second thread without writing what still waits.
void CrlfWriter::Abandon() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
  }
  Stop();
}

// After Stop: the second thread, if any, has ended.
std::error_code CrlfWriter::Result() const {
  if (ok_) return {};
  return error_ ? error_ : std::make_error_code(std::errc::io_error);
}

// Writes queued buffers in order until stopped with none left.
void CrlfWriter::Drain() {
  std::string buf;
  for (;;) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !queue_.empty() || stop_; });
    if (queue_.empty()) return;
    buf = std::move(queue_.front());
    queue_.pop_front();
    const bool skip = failed_ || abandoned_;
    lock.unlock();
    const bool ok = skip || WriteOut(buf);
    buf.clear();
    lock.lock();
    spare_.push_back(std::move(buf));
    if (!ok) failed_ = true;
    idle_.notify_one();
  }
}

// Only one thread at a time calls it: the producer before the second thread
// starts, that thread afterwards.
bool CrlfWriter::WriteOut(std::string_view text) {
  out_.clear();
  AppendCrlf(out_, text);
  if (const std::error_code why = WriteAll(fd_, out_.data(), out_.size())) {
    error_ = why;
    return false;
  }
  // The file is synced before its rename: starting the disk's work on each
  // written piece now lets it overlap the conversion, so that the final
  // sync waits only for the tail.
#ifdef SYNC_FILE_RANGE_WRITE
  ::sync_file_range(fd_, off_t(written_), off_t(out_.size()), SYNC_FILE_RANGE_WRITE);
#endif
  written_ += out_.size();
  return true;
}

}  // namespace norvelle
