#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/carry.h"
#include "platform/memory.h"

namespace norvelle {

namespace {

int OpenRead(const std::string& cp932_path) {
  std::string u;
  if (cp932_path.empty() || !NameToNative(cp932_path, u)) return -1;
  int fd = ::open(u.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // a folder is no text file
    ::close(fd);
    return -1;
  }
  return fd;
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

// Buffered writer that turns each LF into CR LF.
class CrlfWriter {
 public:
  explicit CrlfWriter(int fd) : fd_(fd) { buf_.reserve(kSize + 2); }
  bool Put(std::string_view s) {
    const char* p = s.data();
    const char* e = p + s.size();
    while (p < e && ok_) {
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(e - p)));
      const char* stop = lf ? lf : e;
      Append(p, std::size_t(stop - p));
      if (lf) Append("\r\n", 2);
      p = lf ? lf + 1 : e;
    }
    return ok_;
  }
  bool Flush() {
    if (ok_ && !buf_.empty()) ok_ = WriteAll(fd_, buf_.data(), buf_.size());
    buf_.clear();
    return ok_;
  }

 private:
  static constexpr std::size_t kSize = 1 << 20;
  void Append(const char* p, std::size_t n) {
    if (buf_.size() + n > kSize && !Flush()) return;
    if (n > kSize) {
      ok_ = WriteAll(fd_, p, n);
      return;
    }
    buf_.insert(buf_.end(), p, p + n);
  }
  int fd_;
  bool ok_ = true;
  std::vector<char> buf_;
};

}  // namespace

bool ReadTextFile(const std::string& cp932_path, std::string& out) {
  out.clear();
  int fd = OpenRead(cp932_path);
  if (fd < 0) return false;
  // Straight into the string: its size from the file, grown if the file grew
  // (or has no size, as a pipe).
  struct stat st;
  std::size_t size = 0;
  if (fstat(fd, &st) == 0 && st.st_size > 0) size = std::size_t(st.st_size);
  out.reserve(size + 1 > (1 << 16) ? size + 1 : (1 << 16));
  PreferLargePages(out.data(), out.capacity());
  out.resize(out.capacity());
  std::size_t have = 0;
  bool ok = true;
  for (;;) {
    if (have == out.size()) out.resize(out.size() * 2);
    ssize_t n = ::read(fd, out.data() + have, out.size() - have);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    have += std::size_t(n);
  }
  ::close(fd);
  out.resize(ok ? have : 0);
  if (!ok) return false;
  // Text mode: the first 0x1A ends the text, CR LF becomes LF.
  if (const void* eof = std::memchr(out.data(), '\x1A', out.size()))
    out.resize(std::size_t(static_cast<const char*>(eof) - out.data()));
  const std::size_t n = out.size();
  char* d = out.data();
  const char* cr = static_cast<const char*>(std::memchr(d, '\r', n));
  if (!cr) return true;
  // From CR to CR: the CR goes when a LF follows, the bytes up to the next
  // CR move down in one piece.
  std::size_t w = std::size_t(cr - d);
  std::size_t r = w;
  while (r < n) {
    if (r + 1 < n && d[r + 1] == '\n') ++r;
    else d[w++] = d[r++];
    const void* next = std::memchr(d + r, '\r', n - r);
    const std::size_t stop = next ? std::size_t(static_cast<const char*>(next) - d) : n;
    std::memmove(d + w, d + r, stop - r);
    w += stop - r;
    r = stop;
  }
  out.resize(w);
  return true;
}

TextFileReader::TextFileReader(const std::string& cp932_path) : fd_(OpenRead(cp932_path)) {
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
    ssize_t n = ::read(fd_, buf_.data() + end_, buf_.size() - end_);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      eof_ = true;
      break;
    }
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

bool WriteTextFileFrom(const std::string& cp932_path, const TextProducer& produce) {
  std::string target;
  if (cp932_path.empty() || !NameToNative(cp932_path, target)) return false;
  // Write through a symbolic link, as opening the name for writing would.
  if (char* real = ::realpath(target.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  // A file we may not write stays as it is, read-only or not replaced.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) return false;
  // The temporary file lies in the target's folder, so that the rename is
  // atomic, under a short name of its own: the target's name plus a suffix
  // could pass the file system's name limit where the target's does not.
  std::size_t slash = target.rfind('/');
  std::string tmp =
      (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".norvelle-XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return false;
  // The new file gets the target's mode, or what a plain create would give.
  struct stat st;
  mode_t mode;
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  CrlfWriter w(fd);
  bool ok;
  try {
    ok = produce([&w](std::string_view piece) { return w.Put(piece); });
  } catch (...) {  // the producer failed: no half-written file stays behind
    ::close(fd);
    ::unlink(tmp.c_str());
    throw;
  }
  ok = ok && w.Flush();
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

bool CanCreateFile(const std::string& cp932_path) {
  std::string u;
  if (!NameToNative(cp932_path, u)) return false;
  std::size_t slash = u.rfind('/');
  std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : u.substr(0, slash));
  return access(folder.c_str(), W_OK) == 0;
}

bool MakeFolders(const std::string& cp932_path) {
  std::string u;
  if (cp932_path.empty() || !NameToNative(cp932_path, u)) return false;
  struct stat st;
  // Each prefix that ends before a "/" (UTF-8 has no "/" inside a character).
  for (std::size_t slash = u.find('/', 1);; slash = u.find('/', slash + 1)) {
    const std::string folder = u.substr(0, slash);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return ::stat(u.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileModTime(const std::string& cp932_path, std::time_t& t) {
  std::string u;
  struct stat st;
  if (!NameToNative(cp932_path, u) || ::stat(u.c_str(), &st) != 0) return false;
  t = st.st_mtime;
  return true;
}

}  // namespace norvelle
