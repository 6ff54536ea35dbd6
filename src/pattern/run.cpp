// The entry forms: the walk over start positions, match callbacks, the
// replacement output, position lists and hit logs; and template expansion.
#include <cstring>

#include "text/dbcs.h"
#include "pattern/matcher.h"

namespace norvelle {
namespace {

struct Flags {
  bool icase = false;     // "i"
  bool global = false;    // "g"
  bool anchored = false;  // "s"
};

Flags ReadFlags(const char* flags) {
  Flags f;
  if (!flags) return f;
  f.icase = std::strchr(flags, 'i') != nullptr;
  f.global = std::strchr(flags, 'g') != nullptr;
  f.anchored = std::strchr(flags, 's') != nullptr;
  return f;
}

// Hits removed while matching keep their buffers for the next hit; the
// caller's setting comes back however the call ends.
class KeepHitBuffers {
 public:
  explicit KeepHitBuffers(CStrHitList& hits) : hits_(hits), saved_(hits.release_on_reset()) {
    hits_.set_release_on_reset(false);
  }
  ~KeepHitBuffers() { hits_.set_release_on_reset(saved_); }
  KeepHitBuffers(const KeepHitBuffers&) = delete;
  KeepHitBuffers& operator=(const KeepHitBuffers&) = delete;

 private:
  CStrHitList& hits_;
  bool saved_;
};

// Positions are 32-bit signed; a longer subject is a count out of range.
int CheckedLength(std::size_t n) {
  if (n > kMaxSubjectLength) throw static_cast<unsigned>(n > 0xFFFFFFFFu ? 0xFFFFFFFFu : n);
  return int(n);
}

int CharAt(const char* text, int pos, int length) {
  return pos < length ? int(CharLen(text + pos, text + length)) : 1;
}

void LogHits(CStrHitLog* log, const CStrHitList& hits) {
  if (!log) return;
  CStrHitList& copy = log->Add();
  copy = hits;
  copy.set_release_on_reset(true);  // the copy is the caller's, not the match's
}

// Lets the callback judge the match [p, end). Returns the end to use, or -1
// when it rejects the match; *apply is cleared when the template is not to
// be applied. In the search form every negative result rejects.
int Consult(const RegexCallback& callback, const RegexCallbackArgs& args, int length, bool search,
            bool* apply) {
  const int r = callback(args);
  const int p = args.start;
  if (r >= 0) {  // the callback decides the length, and wrote any replacement
    *apply = false;
    return p + (r < length - p ? r : length - p);
  }
  if (r == -1 || search) return -1;
  if (r < -2) *apply = false;
  return p + args.length;
}

void AddPosition(CStrPositionList* positions, int start, int length) {
  if (!positions) return;
  CStrRegexMatchStruct& m = positions->Add();
  m.start = start;
  m.length = length;
}

// One call's walk over the subject: the text that stays or is replaced,
// and what each match leaves behind (positions, hit log).
struct Walk {
  const char* text;
  int length;
  const Flags& f;
  CStrHitList& h;
  const char* tmpl;
  CStrHitLog* hit_log;
  CStrPositionList* positions;
  bool* cut_off;
  CStr out;

  // Keeps the character at p; the position after it.
  int Keep(int p) {
    const int n = CharAt(text, p, length);
    if (tmpl && p < length) out.Append(text + p, std::size_t(n));
    return p + n;
  }
  // No match at p: the next position to try, or -1 when the walk ends.
  int Miss(const MatchState& st, int p) {
    h.Clear();
    if (st.exhausted && cut_off) *cut_off = true;
    if (f.anchored || st.exhausted) {
      if (tmpl) out.Append(text + p, std::size_t(length - p));
      return -1;
    }
    return Keep(p);
  }
  void Hit(int p, int end, bool apply) {
    if (apply) {
      const int at = int(out.length());
      RegexExpandTemplate(tmpl, h, out);
      AddPosition(positions, at, int(out.length()) - at);
    } else {
      AddPosition(positions, p, end - p);
    }
    LogHits(hit_log, h);
  }
  // The rest of the subject after the walk's last position.
  void Finish(CStr& subject, int p) {
    if (!tmpl) return;
    if (p < length) out.Append(text + p, std::size_t(length - p));
    subject = std::move(out);
  }
};

}  // namespace

int RegexMatch(CStr& subject, const CStrRegexStruct& root, const char* flags, CStrHitList* hits,
               const char* tmpl, CStrHitLog* hit_log, int start, CStrPositionList* positions,
               const RegexCallback* callback, bool* cut_off) {
  const Flags f = ReadFlags(flags);
  const int length = CheckedLength(subject.length());
  if (start < 0 || start > length) throw int(0);
  CStrHitList own_hits;
  CStrHitList& h = hits ? *hits : own_hits;
  KeepHitBuffers keep(h);
  h.Clear();
  if (positions) positions->Clear();

  const char* text = subject.data();
  MatchState st(text, length, start, f.icase, h);
  const StartFilter filter(root);
  Walk w{text, length, f, h, tmpl, hit_log, positions, cut_off, CStr()};
  if (tmpl) w.out.Append(text, std::size_t(start));  // the bytes before the start stay
  if (cut_off) *cut_off = false;
  int count = 0;
  int p = start;
  while (p <= length) {
    int end = filter.Refuses(st, p) ? -1 : MatchAt(st, root, p);
    bool apply = tmpl != nullptr;
    if (end >= 0 && callback) {
      const RegexCallbackArgs args{text + p, p, end - p, tmpl, &w.out, &h};
      end = Consult(*callback, args, length, false, &apply);
    }
    if (end < 0) {  // no match here: the character is kept as it is
      if ((p = w.Miss(st, p)) < 0) break;
      continue;
    }
    w.Hit(p, end, apply);
    ++count;
    if (!f.global) {  // the first match ends the call and its hits stay
      w.Finish(subject, end);
      return 1;
    }
    p = end == p ? w.Keep(end) : end;  // past an empty match, so the walk moves on
    h.Clear();
  }
  if (tmpl) subject = std::move(w.out);  // every byte is in out already
  return count;
}

int RegexMatch(CStr& subject, const char* pattern, const char* flags, CStrHitList* hits,
               const char* tmpl, CStrHitLog* hit_log, int start, CStrPositionList* positions,
               const RegexCallback* callback) {
  const CStrRegexStruct root = RegexCompile(pattern ? std::string_view(pattern) : std::string_view());
  return RegexMatch(subject, root, flags, hits, tmpl, hit_log, start, positions, callback);
}

int RegexSearch(std::string_view text, const CStrRegexStruct& root, const char* flags,
                CStrHitList* hits, CStrHitLog* hit_log, CStrPositionList* positions,
                const RegexCallback* callback) {
  const Flags f = ReadFlags(flags);
  const int length = CheckedLength(text.size());
  CStrHitList own_hits;
  CStrHitList& h = hits ? *hits : own_hits;
  KeepHitBuffers keep(h);
  h.Clear();
  if (positions) positions->Clear();

  MatchState st(text.data(), length, 0, f.icase, h);
  const StartFilter filter(root);
  int count = 0;
  for (int p = 0; p < length;) {
    int end = filter.Refuses(st, p) ? -1 : MatchAt(st, root, p);
    bool apply = false;
    if (end >= 0 && callback) {
      const RegexCallbackArgs args{text.data() + p, p, end - p, nullptr, nullptr, &h};
      end = Consult(*callback, args, length, true, &apply);
    }
    if (end < 0) {
      h.Clear();
      if (f.anchored || st.exhausted) break;
      p += CharAt(text.data(), p, length);
      continue;
    }
    AddPosition(positions, p, end - p);
    LogHits(hit_log, h);
    ++count;
    if (!f.global) return 1;
    p = end > p ? end : p + CharAt(text.data(), p, length);
    h.Clear();
  }
  return count;
}

int RegexSearch(std::string_view text, const char* pattern, const char* flags, CStrHitList* hits,
                CStrHitLog* hit_log, CStrPositionList* positions, const RegexCallback* callback) {
  const CStrRegexStruct root = RegexCompile(pattern ? std::string_view(pattern) : std::string_view());
  return RegexSearch(text, root, flags, hits, hit_log, positions, callback);
}

// "%%" is "%"; "%Nv" hit N oldest first, "%NV" newest first (missing: nothing);
// "%N" and another character writes that character; other "%" stay as written.
void RegexExpandTemplate(const char* tmpl, const CStrHitList& hits, CStr& out) {
  const char* p = tmpl;
  while (*p) {
    if (*p != '%') {
      const char* q = NextChar(p);
      out.Append(p, std::size_t(q - p));
      p = q;
      continue;
    }
    if (p[1] == '%') {
      out.AppendChar('%');
      p += 2;
      continue;
    }
    if (p[1] < '0' || p[1] > '9') {
      out.AppendChar('%');
      ++p;
      continue;
    }
    std::uint32_t n = 0;
    const char* q = p + 1;
    for (; *q >= '0' && *q <= '9'; ++q) n = n > 100'000'000u ? n : n * 10 + std::uint32_t(*q - '0');
    const std::uint32_t have = hits.count();
    if (*q == 'v' || *q == 'V') {
      if (n < have) out.Append(hits[*q == 'v' ? n : have - 1 - n]);
      p = q + 1;
    } else if (*q) {
      const char* r = NextChar(q);
      out.Append(q, std::size_t(r - q));
      p = r;
    } else {
      p = q;  // "%" and digits at the very end write nothing
    }
  }
}

}  // namespace norvelle
