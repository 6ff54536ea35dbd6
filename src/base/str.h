// CStr_base<N>: the byte string of the whole system.
//
// A growable, NUL-terminated Shift_JIS byte string with an explicit length, so
// it may hold NUL bytes. N is the smallest growth step; the step widens with
// the capacity (see Reserve), which keeps appends to large buffers linear.
// A fresh string owns nothing and points at one shared, never-written empty
// buffer. Positions and lengths are bytes; searches step over double-byte
// characters so a match never starts on a trail byte.
//
// Not for: sorting or case-insensitive comparison (callers do their own).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "text/dbcs.h"

namespace norvelle {

// The one empty buffer shared by all strings that own no memory.
extern char g_shared_empty[1];

// The library's allocation failure; its text is the one the user sees.
class BadAllocation : public std::bad_alloc {
 public:
  const char* what() const noexcept override { return "bad allocation"; }
};

// A source of text pieces with fgets semantics: up to size-1 bytes, stopping
// after a line feed; returns the number of bytes stored (0 at end of input).
class TextSource {
 public:
  virtual ~TextSource() = default;
  virtual std::size_t Gets(char* buf, std::size_t size) = 0;
};

// Growth step for a string of capacity c with base step n.
constexpr std::uint32_t GrowthStep(std::uint32_t c, std::uint32_t n) {
  if (c < 16 * n) return n;
  if (c < 64 * n) return 4 * n;
  if (c < 256 * n) return 16 * n;
  if (c < 1024 * n) return 64 * n;
  if (c < 2048 * n) return 256 * n;
  return 1024 * n;
}

template <std::uint32_t N>
class CStr_base {
 public:
  CStr_base() noexcept = default;
  CStr_base(const char* s) { Assign(s); }  // NOLINT: implicit by design
  CStr_base(const char* s, std::size_t n) { Assign(s, n); }
  explicit CStr_base(std::string_view s) { Assign(s.data(), s.size()); }
  CStr_base(const CStr_base& o) { Assign(o.data(), o.len_); }
  template <std::uint32_t M>
  explicit CStr_base(const CStr_base<M>& o) { Assign(o.data(), o.length()); }
  CStr_base(CStr_base&& o) noexcept : cap_(o.cap_), len_(o.len_), buf_(o.buf_) {
    o.cap_ = 0;
    o.len_ = 0;
    o.buf_ = g_shared_empty;
  }
  CStr_base& operator=(const CStr_base& o) {
    if (this != &o) Assign(o.data(), o.len_);
    return *this;
  }
  CStr_base& operator=(CStr_base&& o) noexcept {
    if (this != &o) {
      Release();
      cap_ = o.cap_;
      len_ = o.len_;
      buf_ = o.buf_;
      o.cap_ = 0;
      o.len_ = 0;
      o.buf_ = g_shared_empty;
    }
    return *this;
  }
  CStr_base& operator=(const char* s) {
    Assign(s);
    return *this;
  }
  ~CStr_base() { Release(); }

  const char* c_str() const { return buf_; }
  const char* data() const { return buf_; }
  // Writable bytes; only valid while the string owns a buffer (after Reserve).
  char* mutable_data() { return buf_; }
  std::uint32_t length() const { return len_; }
  std::uint32_t capacity() const { return cap_; }
  bool empty() const { return len_ == 0; }
  std::string_view view() const { return std::string_view(buf_, len_); }
  const char* end() const { return buf_ + len_; }

  // Makes room for a total size of `need` bytes (length + terminator + slack).
  void Reserve(std::size_t need) {
    if (need < cap_) return;
    std::size_t step = GrowthStep(cap_, N);
    std::size_t grown = std::size_t(cap_) + step;
    std::size_t ncap = need > grown ? need : grown;
    if (ncap > 0xFFFFFFF0u) throw BadAllocation();
    char* nb;
    if (cap_ == 0) {
      nb = static_cast<char*>(std::malloc(ncap));
      if (!nb) throw BadAllocation();
      std::memcpy(nb, buf_, std::size_t(len_) + 1);
    } else {
      // realloc may move pages instead of copying them: large buffers stay
      // linear. On failure the old buffer is untouched.
      nb = static_cast<char*>(std::realloc(buf_, ncap));
      if (!nb) throw BadAllocation();
    }
    buf_ = nb;
    buf_[len_] = 0;
    cap_ = static_cast<std::uint32_t>(ncap);
  }

  void Clear() {
    len_ = 0;
    if (cap_) buf_[0] = 0;
  }

  // Frees the buffer and goes back to the shared empty one.
  void Release() {
    if (cap_) std::free(buf_);
    cap_ = 0;
    len_ = 0;
    buf_ = g_shared_empty;
  }

  void Assign(const char* s) { Assign(s, std::strlen(s)); }
  // Even an empty text reserves: the capacity sequence must not depend on
  // whether a string was ever assigned "". The old content stays until the
  // reserve has succeeded.
  void Assign(const char* s, std::size_t n) {
    std::size_t off;
    bool own = Owns(s, off);  // a part of ourselves: found again after the reserve
    Reserve(n + 2);
    if (n) std::memmove(buf_, own ? buf_ + off : s, n);
    len_ = static_cast<std::uint32_t>(n);
    buf_[len_] = 0;
  }
  // The first n bytes of a C string; n < 0 means all, and a NUL ends it early
  // (the text need not be terminated within n bytes).
  void AssignPrefix(const char* s, int n) {
    std::size_t len;
    if (n < 0) {
      len = std::strlen(s);
    } else {
      const void* nul = std::memchr(s, 0, std::size_t(n));
      len = nul ? std::size_t(static_cast<const char*>(nul) - s) : std::size_t(n);
    }
    Assign(s, len);
  }
  template <std::uint32_t M>
  void Assign(const CStr_base<M>& o) { Assign(o.data(), o.length()); }

  void Append(const char* s) { Append(s, std::strlen(s)); }
  void Append(std::string_view s) { Append(s.data(), s.size()); }
  template <std::uint32_t M>
  void Append(const CStr_base<M>& o) { Append(o.data(), o.length()); }
  void Append(const char* s, std::size_t n) {
    if (n == 0) return;
    std::size_t off;
    if (Owns(s, off)) {  // appending a part of ourselves
      Reserve(std::size_t(len_) + n + 2);
      std::memmove(buf_ + len_, buf_ + off, n);
    } else {
      Reserve(std::size_t(len_) + n + 2);
      std::memcpy(buf_ + len_, s, n);
    }
    len_ += static_cast<std::uint32_t>(n);
    buf_[len_] = 0;
  }
  // Appending the byte 0 does nothing (the terminator is not data).
  void AppendChar(char c) {
    if (c == 0) return;
    Reserve(std::size_t(len_) + 3);
    buf_[len_++] = c;
    buf_[len_] = 0;
  }
  // Appends count copies of text, reserving once.
  void AppendRepeat(std::string_view s, std::size_t count) {
    if (s.empty() || count == 0) return;
    std::size_t off;
    bool own = Owns(s.data(), off);
    Reserve(std::size_t(len_) + s.size() * count + 2);
    const char* src = own ? buf_ + off : s.data();  // the reserve may have moved it
    for (std::size_t i = 0; i < count; ++i) {
      std::memmove(buf_ + len_, src, s.size());
      len_ += static_cast<std::uint32_t>(s.size());
    }
    buf_[len_] = 0;
  }

  // Byte at p; p == length gives the terminator; beyond throws signed 0.
  char At(std::uint32_t p) const {
    if (p > len_) throw int(0);
    return buf_[p];
  }

  bool Equals(const char* s) const { return std::strcmp(buf_, s) == 0; }
  bool operator==(std::string_view s) const { return view() == s; }
  template <std::uint32_t M>
  bool operator==(const CStr_base<M>& o) const { return view() == o.view(); }

  // First occurrence of needle at or after start, on a character boundary.
  // Whether a non-empty needle starts at p, before e: the first byte is
  // compared before the call for the rest.
  static bool StartsAt(const char* p, const char* e, std::string_view needle) {
    return *p == needle[0] && std::size_t(e - p) >= needle.size() &&
           std::memcmp(p, needle.data(), needle.size()) == 0;
  }
  int Find(std::string_view needle, int start = 0) const {
    if (start < 0) return -1;
    if (needle.empty()) return 0;
    if (std::uint32_t(start) >= len_) return -1;
    const char* e = end();
    for (const char* p = buf_ + start; p < e; p = NextChar(p, e)) {
      if (StartsAt(p, e, needle))
        return int(p - buf_);
    }
    return -1;
  }
  int FindLast(std::string_view needle) const {
    if (needle.empty()) return 0;
    int last = -1;
    const char* e = end();
    for (const char* p = buf_; p < e; p = NextChar(p, e)) {
      if (StartsAt(p, e, needle))
        last = int(p - buf_);
    }
    return last;
  }

  // The occurrences ReplaceAll would replace: after each one the search goes
  // on behind it. An empty needle has none.
  std::size_t Count(std::string_view needle) const {
    if (needle.empty()) return 0;
    std::size_t count = 0;
    const char* e = end();
    for (const char* p = buf_; p < e;) {
      if (StartsAt(p, e, needle)) {
        p += needle.size();
        ++count;
      } else {
        p = NextChar(p, e);
      }
    }
    return count;
  }

  // Replaces every occurrence; returns the count. An empty needle replaces
  // nothing. The result is assigned back, never moved in, so the capacity
  // only grows.
  int ReplaceAll(std::string_view needle, std::string_view repl) {
    if (needle.empty()) return 0;
    if (Find(needle) < 0) {  // the result would be ourselves: only its reserve shows
      Reserve(std::size_t(len_) + 2);
      return 0;
    }
    CStr_base out;
    int count = 0;
    const char* e = end();
    const char* run = buf_;  // start of the bytes not yet copied
    const char* p = buf_;
    while (p < e) {
      if (StartsAt(p, e, needle)) {
        out.Append(run, std::size_t(p - run));
        out.Append(repl);
        p += needle.size();
        run = p;
        ++count;
      } else {
        p = NextChar(p, e);
      }
    }
    out.Append(run, std::size_t(e - run));
    Assign(out.data(), out.length());
    return count;
  }

  void DropNewline() {
    if (len_ && buf_[len_ - 1] == '\n') buf_[--len_] = 0;
  }

  // Truncates at the last '\\' or '/', dropping the separator; false if none.
  bool CutAfterDir() {
    std::size_t pos = FindLastCharIf(view(), [](char c) { return c == '\\' || c == '/'; });
    if (pos == std::string_view::npos) return false;
    Truncate(std::uint32_t(pos));
    return true;
  }

  void Truncate(std::uint32_t n) {
    if (n < len_) {
      len_ = n;
      buf_[len_] = 0;
    }
  }

  // One line in pieces of at most 1000 bytes, line feed kept; returns the length.
  std::uint32_t ReadLine(TextSource& in) {
    Clear();
    char piece[1001];
    for (;;) {
      std::size_t n = in.Gets(piece, sizeof piece);
      if (n == 0) break;
      Append(piece, n);
      if (piece[n - 1] == '\n') break;
    }
    return len_;
  }
  // The rest of the input; returns the length.
  std::uint32_t ReadAll(TextSource& in) {
    Clear();
    char piece[1001];
    for (;;) {
      std::size_t n = in.Gets(piece, sizeof piece);
      if (n == 0) break;
      Append(piece, n);
    }
    return len_;
  }

 private:
  // Whether p points into our own buffer (the shared one holds no data), and
  // at which offset: callers must find it again after a reserve moves us.
  bool Owns(const char* p, std::size_t& off) const {
    auto at = reinterpret_cast<std::uintptr_t>(p);
    auto base = reinterpret_cast<std::uintptr_t>(buf_);
    off = at - base;
    return cap_ != 0 && at >= base && off < cap_;
  }

  std::uint32_t cap_ = 0;
  std::uint32_t len_ = 0;
  char* buf_ = g_shared_empty;
};

using CStr = CStr_base<64>;

}  // namespace norvelle
