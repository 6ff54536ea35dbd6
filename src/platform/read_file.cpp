#include "platform/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/carry.h"
#include "platform/memory.h"
#include "platform/system_error.h"
#include "platform/text_mode.h"
#include "platform/thread.h"

namespace norvelle {

namespace {

// Opens a regular file for reading; size gets its size at opening, which
// bounds the read (a file that grows meanwhile is read up to there). Anything
// else fails: a folder, a FIFO (O_NONBLOCK: opening one without a writer
// would wait for ever), a device such as /dev/zero that never ends.
std::error_code OpenRead(const std::string& cp932_path, int& fd, std::size_t& size) {
  std::string u;
  if (!ToSystemPath(cp932_path, u)) return std::make_error_code(std::errc::no_such_file_or_directory);
  fd = ::open(u.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return LastSystemError();
  struct stat st;
  std::error_code why;
  if (fstat(fd, &st) != 0) why = LastSystemError();
  else if (S_ISDIR(st.st_mode)) why = std::make_error_code(std::errc::is_a_directory);
  else if (!S_ISREG(st.st_mode) || st.st_size < 0) why = std::make_error_code(std::errc::invalid_argument);
  if (why) {
    ::close(fd);
    fd = -1;
    return why;
  }
  size = std::size_t(st.st_size);
  return {};
}

// Reads up to n bytes at offset off into buf; got: how many came (fewer at
// the end of a file that shrank meanwhile).
std::error_code ReadAt(int fd, char* buf, std::size_t off, std::size_t n, std::size_t& got) {
  got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd, buf + got, n - got, off_t(off + got));
    if (r == 0) break;
    if (r < 0) {
      if (errno == EINTR) continue;
      return LastSystemError();
    }
    got += std::size_t(r);
  }
  return {};
}

// From this size on, a second thread reads the second half: the first touch
// of fresh memory (the system clears each page) is then shared by two cores.
constexpr std::size_t kSplitRead = std::size_t(1) << 20;

// Fills buf with up to n bytes of the file in text mode; the count kept.
// Each half is put in text mode by the thread that read it; only a CR LF
// split between the halves is left to join.
std::size_t ReadWhole(int fd, char* buf, std::size_t n, std::error_code& why) {
  PreferLargePages(buf, n);
  std::size_t got = 0;
  bool cut = false;
  if (n < kSplitRead) {
    why = ReadAt(fd, buf, 0, n, got);
    return TextModeInPlace(buf, got, &cut);
  }
  const std::size_t half = n / 2;
  std::size_t got2 = 0, kept2 = 0;
  std::error_code why2;
  bool cut2 = false, starts_lf = false;
  std::thread second = QuietThread("nv-read", [&] {
    why2 = ReadAt(fd, buf + half, half, n - half, got2);
    starts_lf = got2 > 0 && buf[half] == '\n';
    kept2 = TextModeInPlace(buf + half, got2, &cut2);
  });
  why = ReadAt(fd, buf, 0, half, got);
  const bool ends_cr = got == half && buf[half - 1] == '\r';
  std::size_t kept = TextModeInPlace(buf, got, &cut);
  second.join();
  if (!why) why = why2;
  if (got < half || cut) return kept;  // the text ends in the first half
  if (ends_cr && starts_lf) --kept;    // that CR is kept as the last byte of its half
  std::memmove(buf + kept, buf + half, kept2);
  return kept + kept2;
}

}  // namespace

std::error_code ReadText(const std::string& cp932_path, std::string& out) {
  out.clear();
  int fd = -1;
  std::size_t size = 0;
  if (const std::error_code why = OpenRead(cp932_path, fd, size)) return why;
  std::error_code why;
  try {
#ifdef __cpp_lib_string_resize_and_overwrite
    // Not cleared first: the reads write every byte that is kept.
    out.resize_and_overwrite(size, [&](char* buf, std::size_t n) { return ReadWhole(fd, buf, n, why); });
#else
    out.reserve(size);
    out.resize(size);
    out.resize(ReadWhole(fd, out.data(), size, why));
#endif
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  return why;
}

bool ReadTextStandardInput(std::string& out) {
  out.clear();
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out.append(buf, std::size_t(n));
  }
  ToTextMode(out);
  return true;
}

TextFileReader::TextFileReader(const std::string& cp932_path) {
  if (OpenRead(cp932_path, fd_, left_)) fd_ = -1;
  buf_.resize(1 << 16);
}

TextFileReader::~TextFileReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool TextFileReader::Fill() {
  // Keep a pending CR so that a CR LF split across reads is still joined.
  const std::size_t keep = end_ - pos_;
  std::memmove(buf_.data(), buf_.data() + pos_, keep);
  pos_ = 0;
  end_ = keep;
  while (!eof_ && end_ < buf_.size()) {
    const std::size_t want = std::min(buf_.size() - end_, left_);
    const ssize_t n = want == 0 ? 0 : ::read(fd_, buf_.data() + end_, want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      eof_ = true;
      break;
    }
    left_ -= std::size_t(n);
    const std::size_t from = end_;
    end_ += std::size_t(n);
    if (void* z = std::memchr(buf_.data() + from, 0x1A, std::size_t(n))) {
      end_ = std::size_t(static_cast<char*>(z) - buf_.data());
      eof_ = true;
    }
    break;
  }
  return end_ > pos_;
}

std::size_t TextFileReader::Gets(char* out, std::size_t size) {
  if (fd_ < 0 || size < 2) return 0;
  std::size_t got = 0;
  while (got < size - 1) {
    if (pos_ >= end_ || (buf_[pos_] == '\r' && pos_ + 1 >= end_ && !eof_)) {
      if (!Fill() && pos_ >= end_) break;
    }
    if (pos_ >= end_) break;
    const char c = buf_[pos_];
    if (c == '\r' && pos_ + 1 < end_ && buf_[pos_ + 1] == '\n') {
      ++pos_;
      continue;
    }
    out[got++] = c;
    ++pos_;
    if (c == '\n') break;
  }
  out[got] = 0;
  return got;
}

}  // namespace norvelle
