#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/carry.h"
#include "platform/memory.h"
#include "platform/output_target.h"
#include "platform/thread.h"

namespace norvelle {

namespace {

// A path holding a NUL byte names no file: the system call would read only
// the part before it, and a document could so cut off a suffix we add.
bool ToSystemPath(const std::string& cp932_path, std::string& u) {
  return !cp932_path.empty() && cp932_path.find('\0') == std::string::npos &&
         NameToNative(cp932_path, u);
}

// Opens a regular file for reading; *size gets its size at opening, which
// bounds the read (a file that grows meanwhile is read up to there). Anything
// else fails: a folder, a FIFO (O_NONBLOCK: opening one without a writer
// would wait for ever), a device such as /dev/zero that never ends.
int OpenRead(const std::string& cp932_path, std::size_t* size = nullptr) {
  std::string u;
  if (!ToSystemPath(cp932_path, u)) return -1;
  int fd = ::open(u.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    ::close(fd);
    return -1;
  }
  if (size) *size = std::size_t(st.st_size);
  return fd;
}

// Text mode in place over d[0, n): the first 0x1A ends the text, CR LF
// becomes LF. Returns the length left; *cut tells whether a 0x1A ended it.
std::size_t TextModeInPlace(char* d, std::size_t n, bool* cut) {
  const void* eof = std::memchr(d, '\x1A', n);
  *cut = eof != nullptr;
  if (eof) n = std::size_t(static_cast<const char*>(eof) - d);
  const char* cr = static_cast<const char*>(std::memchr(d, '\r', n));
  if (!cr) return n;
  // From the first CR on, the text moves down over each CR that a LF follows.
  std::size_t w = std::size_t(cr - d);
  std::size_t r = w;
  while (r < n) {
    bool tail = true;  // fewer than 16 bytes are left
#ifdef __SSE2__
    // Sixteen bytes without a CR move at once (every line is one CR LF apart:
    // a call per line would cost more than the bytes).
    const __m128i crs = _mm_set1_epi8('\r');
    while (n - r >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + r));
      const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, crs)));
      if (mask != 0) {
        const unsigned k = unsigned(__builtin_ctz(mask));
        std::memmove(d + w, d + r, k);
        w += k;
        r += k;
        break;
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w), v);  // w <= r: never ahead of the reading
      w += 16;
      r += 16;
    }
    tail = n - r < 16;
    if (r == n) break;  // the blocks took the last byte: d[n] is none of ours
#endif
    if (tail && d[r] != '\r') {
      const void* next = std::memchr(d + r, '\r', n - r);
      const std::size_t stop = next ? std::size_t(static_cast<const char*>(next) - d) : n;
      std::memmove(d + w, d + r, stop - r);
      w += stop - r;
      r = stop;
      if (r >= n) break;
    }
    // d[r] is a CR: it goes when a LF follows.
    if (r + 1 < n && d[r + 1] == '\n') ++r;
    else d[w++] = d[r++];
  }
  return w;
}

void ToTextMode(std::string& text) {
  bool cut = false;
  text.resize(TextModeInPlace(text.data(), text.size(), &cut));
}

bool WriteAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= std::size_t(w);
  }
  return true;
}

// Turns each LF into CR LF from s into dst, which has room for 2 * n + 16
// bytes; returns the bytes written. Sixteen bytes move at once up to the
// next LF (lines are short: a call per line would cost more).
std::size_t CrlfInto(char* dst, const char* p, std::size_t n) {
  char* w = dst;
  const char* const e = p + n;
#ifdef __SSE2__
  const __m128i lfs = _mm_set1_epi8('\n');
  while (e - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
    const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lfs)));
    if (mask == 0) {
      p += 16;
      w += 16;
      continue;
    }
    const unsigned k = unsigned(__builtin_ctz(mask));
    w += k;
    *w++ = '\r';
    *w++ = '\n';
    p += k + 1;
  }
#endif
  for (; p < e; ++p) {
    if (*p == '\n') *w++ = '\r';
    *w++ = *p;
  }
  return std::size_t(w - dst);
}

// Turns each LF into CR LF, appending to out.
void AppendCrlf(std::string& out, std::string_view s) {
  const std::size_t old = out.size();
  const std::size_t room = old + 2 * s.size() + 16;
#ifdef __cpp_lib_string_resize_and_overwrite
  out.resize_and_overwrite(room, [&](char* d, std::size_t) { return old + CrlfInto(d + old, s.data(), s.size()); });
#else
  out.resize(room);
  out.resize(old + CrlfInto(out.data() + old, s.data(), s.size()));
#endif
}

// Buffered writer that turns each LF into CR LF. Once more than one buffer
// is written, a second thread turns full buffers into CR LF text and writes
// them while the producer makes the next one: a conversion's pass 2 then
// shares the machine's cores with its own output.
class CrlfWriter {
 public:
  // Buffers have room for twice a piece: given buffers (Give) travel back to the producer.
  explicit CrlfWriter(int fd) : fd_(fd) { fill_.reserve(2 * kSize); }
  ~CrlfWriter() { Abandon(); }
  CrlfWriter(const CrlfWriter&) = delete;
  CrlfWriter& operator=(const CrlfWriter&) = delete;

  bool Put(std::string_view s) {
    while (!s.empty() && ok_) {
      const std::size_t room = kSize - std::min(kSize, fill_.size());
      const std::size_t n = std::min(room, s.size());
      fill_.append(s.data(), n);
      s.remove_prefix(n);
      if (fill_.size() >= kSize) HandOver();
    }
    return ok_;
  }
  // Takes s's text without copying it; s comes back empty.
  bool Give(std::string& s) {
    if (!ok_) return false;
    if (s.empty()) return true;
    if (!fill_.empty()) HandOver();  // what came before goes first
    if (!ok_) return false;
    std::swap(fill_, s);
    HandOver();
    s.clear();
    return ok_;
  }

  // Writes what is left and waits for the second thread; errno tells why it failed.
  bool Flush() {
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
  // Gives up what is not written yet; errno tells why writing failed, if it did.
  bool Finish() {
    Abandon();
    return Result();
  }

 private:
  static constexpr std::size_t kSize = std::size_t(1) << 18;

  // Queues the full buffer for the second thread; the producer goes on with
  // a recycled one. A few buffers may wait: the time a write takes varies
  // (the disk), and the producer should not wait for each.
  void HandOver() {
    if (!thread_.joinable()) Start();
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

  void Start() { thread_ = QuietThread("nv-write", [this] { Drain(); }); }

  void Stop() {
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
  void Abandon() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      abandoned_ = true;
    }
    Stop();
  }

  bool Result() {
    if (!ok_ && error_ != 0) errno = error_;
    return ok_;
  }

  // Writes queued buffers in order until stopped with none left.
  void Drain() {
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
  bool WriteOut(std::string_view text) {
    out_.clear();
    AppendCrlf(out_, text);
    if (!WriteAll(fd_, out_.data(), out_.size())) {
      error_ = errno;
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

  int fd_;
  bool ok_ = true;  // the producer's view
  std::string fill_;
  std::string out_;
  std::size_t written_ = 0;
  int error_ = 0;

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ready_, idle_;
  static constexpr std::size_t kQueued = 4;  // full buffers that may wait
  std::deque<std::string> queue_;            // full, oldest first
  std::vector<std::string> spare_;           // written, to be filled again
  bool stop_ = false, failed_ = false, abandoned_ = false;
};

// After the rename: the folder's entry on the disk too. Best effort: the new
// file is in place already, and some file systems refuse a folder's fsync.
void SyncFolder(const std::string& folder) {
  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return;
  ::fsync(dfd);
  ::close(dfd);
}

// Holds back SIGINT, SIGTERM, SIGHUP and SIGQUIT and ignores SIGXFSZ while it
// lives; restores both afterwards, when the held-back signals are delivered.
class SignalShield {
 public:
  SignalShield() {
    sigset_t hold;
    sigemptyset(&hold);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&hold, sig);
    pthread_sigmask(SIG_BLOCK, &hold, &old_mask_);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &old_xfsz_);
  }
  ~SignalShield() {
    sigaction(SIGXFSZ, &old_xfsz_, nullptr);
    pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
  }
  SignalShield(const SignalShield&) = delete;
  SignalShield& operator=(const SignalShield&) = delete;

  // While a producer makes the text (a conversion's pass 2 can run then), a
  // SIGINT or SIGTERM with a handler of its own (batch mode's cancel) reaches
  // it, so the producer can give up; the rest still waits. Off again when done.
  void PassHandledInterrupt(bool on) {
    for (int sig : {SIGINT, SIGTERM}) {
      struct sigaction cur {};
      if (sigismember(&old_mask_, sig) || sigaction(sig, nullptr, &cur) != 0) continue;
      if (!(cur.sa_flags & SA_SIGINFO) && (cur.sa_handler == SIG_DFL || cur.sa_handler == SIG_IGN))
        continue;
      sigset_t one;
      sigemptyset(&one);
      sigaddset(&one, sig);
      pthread_sigmask(on ? SIG_UNBLOCK : SIG_BLOCK, &one, nullptr);
    }
  }

 private:
  sigset_t old_mask_;
  struct sigaction old_xfsz_;
};

// Reads up to n bytes at offset off into buf; *got: how many came (fewer at
// the end of a file that shrank meanwhile).
bool ReadAt(int fd, char* buf, std::size_t off, std::size_t n, std::size_t* got) {
  *got = 0;
  while (*got < n) {
    const ssize_t r = ::pread(fd, buf + *got, n - *got, off_t(off + *got));
    if (r == 0) break;
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    *got += std::size_t(r);
  }
  return true;
}

// From this size on, a second thread reads the second half: the first touch
// of fresh memory (the system clears each page) is then shared by two cores.
constexpr std::size_t kSplitRead = std::size_t(1) << 20;

// Fills buf with up to n bytes of the file in text mode; the count kept.
// Each half is put in text mode by the thread that read it; only a CR LF
// split between the halves is left to join.
std::size_t ReadWhole(int fd, char* buf, std::size_t n, bool* ok) {
  PreferLargePages(buf, n);
  std::size_t got = 0;
  bool cut = false;
  if (n < kSplitRead) {
    *ok = ReadAt(fd, buf, 0, n, &got);
    return TextModeInPlace(buf, got, &cut);
  }
  const std::size_t half = n / 2;
  std::size_t got2 = 0, kept2 = 0;
  bool ok2 = false, cut2 = false, starts_lf = false;
  std::thread second = QuietThread("nv-read", [&] {
    ok2 = ReadAt(fd, buf + half, half, n - half, &got2);
    starts_lf = got2 > 0 && buf[half] == '\n';
    kept2 = TextModeInPlace(buf + half, got2, &cut2);
  });
  *ok = ReadAt(fd, buf, 0, half, &got);
  const bool ends_cr = got == half && buf[half - 1] == '\r';
  std::size_t kept = TextModeInPlace(buf, got, &cut);
  second.join();
  *ok = *ok && ok2;
  if (got < half || cut) return kept;  // the text ends in the first half
  if (ends_cr && starts_lf) --kept;    // that CR is kept as the last byte of its half
  std::memmove(buf + kept, buf + half, kept2);
  return kept + kept2;
}

}  // namespace

bool ReadTextFile(const std::string& cp932_path, std::string& out) {
  out.clear();
  std::size_t size = 0;
  int fd = OpenRead(cp932_path, &size);
  if (fd < 0) return false;
  bool ok = true;
  try {
#ifdef __cpp_lib_string_resize_and_overwrite
    // Not cleared first: the reads write every byte that is kept.
    out.resize_and_overwrite(size, [&](char* buf, std::size_t n) { return ReadWhole(fd, buf, n, &ok); });
#else
    out.reserve(size);
    out.resize(size);
    out.resize(ReadWhole(fd, out.data(), size, &ok));
#endif
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  return ok;
}

bool ReadTextStandardInput(std::string& out) {
  out.clear();
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
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
  fd_ = OpenRead(cp932_path, &left_);
  buf_.resize(1 << 16);
}

TextFileReader::~TextFileReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool TextFileReader::Fill() {
  // Keep a pending CR so that a CR LF split across reads is still joined.
  std::size_t keep = end_ - pos_;
  std::memmove(buf_.data(), buf_.data() + pos_, keep);
  pos_ = 0;
  end_ = keep;
  while (!eof_ && end_ < buf_.size()) {
    const std::size_t want = std::min(buf_.size() - end_, left_);
    ssize_t n = want == 0 ? 0 : ::read(fd_, buf_.data() + end_, want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      eof_ = true;
      break;
    }
    left_ -= std::size_t(n);
    std::size_t from = end_;
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
    char c = buf_[pos_];
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

bool WriteTextFile(const std::string& cp932_path, const std::vector<std::string_view>& pieces) {
  return WriteTextFileFrom(cp932_path, [&pieces](const TextPut& put) {
    for (std::string_view piece : pieces)
      if (!put(piece)) return false;
    return true;
  });
}

namespace {

// Runs produce into w; on an exception nothing more is written and fd is closed.
bool ProduceInto(int fd, CrlfWriter& w, SignalShield& shield, const TextProducer& produce) {
  bool ok;
  shield.PassHandledInterrupt(true);
  try {
    ok = produce(TextPut([&w](std::string_view piece) { return w.Put(piece); },
                         [&w](std::string& text) { return w.Give(text); }));
  } catch (...) {
    shield.PassHandledInterrupt(false);
    w.Finish();
    ::close(fd);
    throw;
  }
  shield.PassHandledInterrupt(false);
  return ok ? w.Flush() : (w.Finish(), false);
}

// A stream named as a file, or a device, FIFO or socket: written as it is,
// never replaced (replacing /dev/null would leave a regular file there).
bool WriteUnreplaced(const OutputTarget& t, const TextProducer& produce) {
  const int fd = t.kind == OutputTarget::Kind::kStream
                     ? ::fcntl(t.fd, F_DUPFD_CLOEXEC, 3)
                     : ::open(t.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  SignalShield shield;
  bool ok;
  {
    CrlfWriter w(fd);
    ok = ProduceInto(fd, w, shield, produce);
  }
  const int why = errno;
  const bool closed = ::close(fd) == 0;
  if (!ok) errno = why;
  return ok && closed;
}

// A regular file (or none yet): through a temporary beside it, renamed over it.
bool ReplaceFile(const std::string& target, const TextProducer& produce) {
  // A file we may not write stays as it is, read-only or not replaced.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) return false;
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  RemoveStaleTemps(folder);

  // From here until the temporary file is renamed or removed, SIGINT and
  // its kind wait (a handler sees them afterwards; without one the process
  // ends then, leaving no temporary file), and a file-size limit fails the
  // write instead of killing the process.
  SignalShield shield;
  std::string tmp = TempName(folder, name);
  int fd = mkstemp(tmp.data());
  if (fd < 0) return false;
  HoldTemp(fd);
  struct stat st;
  TakeOwnerAndMode(fd, ::stat(target.c_str(), &st) == 0 ? &st : nullptr);
  bool ok;
  {
    CrlfWriter w(fd);
    try {
      ok = ProduceInto(fd, w, shield, produce);
    } catch (...) {  // the producer failed: no half-written file stays behind
      ::unlink(tmp.c_str());
      throw;
    }
  }
  // On the disk before the rename: a crash then leaves the old file or the
  // new one, never a renamed empty one.
  ok = ok && ::fdatasync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0;
  if (!ok) {
    const int why = errno;  // the caller may tell the user
    ::unlink(tmp.c_str());
    errno = why;
    return false;
  }
  SyncFolder(folder);
  return true;
}

}  // namespace

bool WriteTextFileFrom(const std::string& cp932_path, const TextProducer& produce) {
  std::string native;
  if (!ToSystemPath(cp932_path, native)) return false;
  OutputTarget t;
  if (!ResolveOutputTarget(native, t)) return false;
  if (t.kind != OutputTarget::Kind::kFile) return WriteUnreplaced(t, produce);
  return ReplaceFile(t.path, produce);
}

bool CanCreateFile(const std::string& cp932_path) {
  std::string u;
  if (!ToSystemPath(cp932_path, u)) return false;
  std::size_t slash = u.rfind('/');
  std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : u.substr(0, slash));
  return access(folder.c_str(), W_OK) == 0;
}

bool MakeFolders(const std::string& cp932_path) {
  std::string u;
  if (!ToSystemPath(cp932_path, u)) return false;
  struct stat st;
  // Each prefix that ends before a "/" (UTF-8 has no "/" inside a character).
  for (std::size_t slash = u.find('/', 1);; slash = u.find('/', slash + 1)) {
    const std::string folder = u.substr(0, slash);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return ::stat(u.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSameFilePath(const std::string& cp932_a, const std::string& cp932_b) {
  std::string a, b;
  return ToSystemPath(cp932_a, a) && ToSystemPath(cp932_b, b) && IsSameFile(a, b);
}

bool FileModTime(const std::string& cp932_path, std::time_t& t) {
  std::string u;
  struct stat st;
  if (!ToSystemPath(cp932_path, u) || ::stat(u.c_str(), &st) != 0) return false;
  t = st.st_mtime;
  return true;
}

}  // namespace norvelle
