#include "platform/carry.h"

#include "platform/encoding.h"
#include "text/dbcs.h"

namespace norvelle {

namespace {

constexpr int kTrails = 188;  // 0x40-0x7E and 0x80-0xFC

// One UTF-8 sequence at s[i]: its length, or 0 when it is not valid UTF-8
// (overlong forms, surrogates and values above U+10FFFF are not).
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& c) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  std::size_t n;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) n = 2, c = b0 & 0x1F, min = 0x80;
  else if (b0 >= 0xE0 && b0 <= 0xEF) n = 3, c = b0 & 0x0F, min = 0x800;
  else if (b0 >= 0xF0 && b0 <= 0xF4) n = 4, c = b0 & 0x07, min = 0x10000;
  else return 0;
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return n;
}

// Bytes of a broken sequence taken as one replacement: its first byte and the
// continuation bytes that follow it, at most three in all.
std::size_t BrokenLength(std::string_view s, std::size_t i) {
  std::size_t n = 1;
  while (n < 3 && i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
  return n;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  char32_t c;
  for (std::size_t i = 0, n; i < s.size(); i += n)
    if (!(n = DecodeUtf8(s, i, c))) return false;
  return true;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

bool CharCarry::Encodes(char32_t c, std::string& cp932) {
  auto it = encoded_.find(c);
  if (it == encoded_.end()) {
    std::string u, cp, back;
    AppendUtf8(u, c);
    // Only a character that comes back as itself is left to CP932.
    if (!(Utf8ToCp932(u, cp) && Cp932ToUtf8(cp, back) && back == u)) cp.clear();
    it = encoded_.emplace(c, cp).first;
  }
  cp932 = it->second;
  return !cp932.empty();
}

void CharCarry::Put(char32_t c, std::string& out, Stats& stats) {
  auto it = code_of_.find(c);
  if (it == code_of_.end()) {
    std::string cp;
    const bool user_defined = c >= 0xE000 && c <= 0xE757;
    if (!user_defined && !IsRawByte(c) && Encodes(c, cp)) {
      out += cp;
      return;
    }
    // The last code stays free for U+FFFD, which stands in once codes run out.
    const std::size_t room = c == kReplacement ? kCodes : kCodes - 1;
    if (chars_.size() >= room) {
      ++stats.overflow;
      Put(kReplacement, out, stats);
      return;
    }
    it = code_of_.emplace(c, std::uint16_t(chars_.size())).first;
    chars_.push_back(c);
  }
  const int linear = kCodes - 1 - it->second;
  const int t = linear % kTrails;
  out += char(0xF0 + linear / kTrails);
  out += char(t < 63 ? 0x40 + t : 0x80 + (t - 63));
}

char32_t CharCarry::CarriedAt(unsigned char lead, unsigned char trail) const {
  if (lead < 0xF0 || lead > 0xF9) return 0;
  int t;
  if (trail >= 0x40 && trail <= 0x7E) t = trail - 0x40;
  else if (trail >= 0x80 && trail <= 0xFC) t = trail - 0x80 + 63;
  else return 0;
  const std::size_t slot = std::size_t(kCodes - 1 - ((lead - 0xF0) * kTrails + t));
  return slot < chars_.size() ? chars_[slot] : 0;
}

CharCarry::Stats CharCarry::ToCp932(std::string_view s, std::string& out, bool name) {
  Stats stats;
  out.clear();
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out += char(b);
      ++i;
      continue;
    }
    char32_t c;
    if (std::size_t n = DecodeUtf8(s, i, c)) {
      Put(c, out, stats);
      i += n;
    } else if (name) {
      Put(0xDC00 + b, out, stats);  // the byte itself, written back as it was
      ++i;
    } else {
      ++stats.invalid;
      Put(kReplacement, out, stats);
      i += BrokenLength(s, i);
    }
  }
  return stats;
}

CharCarry::Stats CharCarry::TextToCp932(std::string_view utf8, std::string& out) {
  return ToCp932(utf8, out, false);
}

CharCarry::Stats CharCarry::NameToCp932(std::string_view utf8, std::string& out) {
  return ToCp932(utf8, out, true);
}

bool CharCarry::ToUtf8(std::string_view s, std::string& out, bool name) const {
  out.clear();
  out.reserve(s.size() + s.size() / 2);
  std::size_t run = 0, run_len = 0;  // bytes left to iconv
  bool ok = true;
  std::string piece;
  auto flush = [&] {
    if (!run_len) return;
    if (!Cp932ToUtf8(s.substr(run, run_len), piece)) {
      ok = false;
      piece = Cp932ToUtf8Lossy(s.substr(run, run_len));
    }
    out += piece;
    run_len = 0;
  };
  const char* b = s.data();
  const char* e = b + s.size();
  for (const char* p = b; p < e;) {
    const auto c0 = static_cast<unsigned char>(*p);
    const std::size_t n = CharLen(p, e);
    if (c0 < 0x80) {
      flush();
      out += char(c0);
    } else if (char32_t c = n == 2 ? CarriedAt(c0, static_cast<unsigned char>(p[1])) : 0) {
      flush();
      if (!IsRawByte(c)) AppendUtf8(out, c);
      else if (name) out += char(c - 0xDC00);
      else AppendUtf8(out, kReplacement);
    } else {
      if (!run_len) run = std::size_t(p - b);
      run_len += n;
    }
    p += n;
  }
  flush();
  return ok;
}

CharCarry& ProcessCarry() {
  static CharCarry carry;
  return carry;
}

std::string NameFromNative(std::string_view utf8) {
  std::string out;
  ProcessCarry().NameToCp932(utf8, out);
  return out;
}

std::string NameToNative(std::string_view cp932) {
  std::string out;
  ProcessCarry().ToUtf8(cp932, out, true);
  return out;
}

bool NameFromNative(std::string_view utf8, std::string& cp932) {
  ProcessCarry().NameToCp932(utf8, cp932);
  return true;
}

bool NameToNative(std::string_view cp932, std::string& utf8) {
  return ProcessCarry().ToUtf8(cp932, utf8, true);
}

bool ToSystemPath(std::string_view cp932_path, std::string& native) {
  return !cp932_path.empty() && cp932_path.find('\0') == std::string_view::npos && NameToNative(cp932_path, native);
}

std::string DisplayUtf8(std::string_view cp932) {
  std::string out;
  ProcessCarry().ToUtf8(cp932, out, false);
  return out;
}

}  // namespace norvelle
