#include "html/tags.h"

#include <array>
#include <cstdint>

#include "base/number.h"

namespace norvelle {

namespace {

// A million nested tags is far past any page; the cap keeps a typo such as
// big99999999 from filling the disk.
constexpr long kMaxTagRepeat = 1000000;

// Row of each code 0..63, -1 for codes that open no tag.
constexpr std::array<int, kCodeCount> kRowOfCode = [] {
  std::array<int, kCodeCount> rows{};
  for (int& r : rows) r = -1;
  for (int i = 0; i < kTagCount; ++i) rows[std::size_t(kTags[i].code)] = i;
  return rows;
}();

// Rows in closing-step order.
constexpr auto kCloseOrder = [] {
  std::array<int, kTagCount> order{};
  int n = 0;
  for (int rank = 0; rank < kTagCount; ++rank)
    for (int i = 0; i < kTagCount; ++i)
      if (kTags[i].close_rank == rank) order[std::size_t(n++)] = i;
  for (; n < kTagCount; ++n) order[std::size_t(n)] = -1;
  return order;
}();

// Per row, the codes an element needs to open it: its own, and for an
// attribute tag those of its attribute parts.
constexpr std::array<std::uint64_t, kTagCount> kOpenedBy = [] {
  std::array<std::uint64_t, kTagCount> masks{};
  auto bit = [](int code) { return IsStoredCode(code) ? std::uint64_t(1) << code : 0; };
  for (int i = 0; i < kTagCount; ++i) {
    masks[std::size_t(i)] = bit(kTags[i].code);
    if (kTags[i].kind == TagKind::kAttributes)
      for (const TagAttr* a = kTags[i].attrs; a->code >= 0; ++a) masks[std::size_t(i)] |= bit(a->code);
  }
  return masks;
}();

// The number of a count tag: 0 when the element lacks it, 1 when no number
// can be read ("%d" rules).
int Count(const TarnStruct& e, const ArgPool& args, int code) {
  if (!e.Has(code)) return 0;
  return int(Clamp(ReadNumber(args.Get(e, code), 1, NumberSyntax::kScanf), 0, kMaxTagRepeat));
}

int LevelOf(std::string_view level) { return level.empty() ? 0 : level[0] - '0'; }

void AppendQuotedAttr(std::string& out, const char* name, std::string_view value) {
  out += ' ';
  out += name;
  out += '=';
  if (!value.empty() && value[0] == '"') {
    out.append(value);
  } else {
    out += '"';
    out.append(value);
    out += '"';
  }
}

}  // namespace

const TagInfo* TagOf(int code) {
  if (!IsStoredCode(code) || kRowOfCode[std::size_t(code)] < 0) return nullptr;
  return &kTags[kRowOfCode[std::size_t(code)]];
}

void TagState::Clear() {
  stack_.clear();
  for (Open& o : open_) {
    o.depth = 0;
    o.attrs.clear();
  }
}

int TagState::Depth(int code) const {
  const TagInfo* t = TagOf(code);
  if (!t) return 0;
  const Open& o = open_[t - kTags];
  return t->kind == TagKind::kAttributes ? !o.attrs.empty() : o.depth;
}

bool TagState::AttributesOpen() const {
  if (stack_.empty()) return false;  // open attributes are always on the stack
  for (int i = 0; i < kTagCount; ++i)
    if (kTags[i].kind == TagKind::kAttributes && !open_[i].attrs.empty()) return true;
  return false;
}

void TagState::BuildAttrs(const TagInfo& t, const TarnStruct& e, const ArgPool& args) {
  scratch_.clear();
  for (const TagAttr* a = t.attrs; a->code >= 0; ++a) {
    if (!e.Has(a->code)) continue;
    if (a->name) {
      AppendQuotedAttr(scratch_, a->name, args.Get(e, a->code));
    } else {
      scratch_ += ' ';
      scratch_.append(args.Get(e, a->code));
    }
  }
}

void TagState::CloseFor(const TarnStruct& e, const ArgPool& args, std::string& out) {
  if (stack_.empty()) return;  // every kind closes only what is on the stack
  for (int row : kCloseOrder) {
    if (row < 0) break;
    // A kind with nothing open closes nothing: skipped before its switch.
    const Open& o = open_[row];
    if (o.depth != 0 || !o.attrs.empty()) Close(kTags[row], e, args, out);
  }
}

void TagState::Close(const TagInfo& t, const TarnStruct& e, const ArgPool& args, std::string& out) {
  Open& o = state(t);
  switch (t.kind) {
    case TagKind::kFlag:
      if (o.depth && !e.Has(t.code)) CloseTo(t.code, out);
      break;
    case TagKind::kLevel:
      if (o.depth && (!e.Has(t.code) || LevelOf(args.Get(e, t.code)) != o.depth)) CloseTo(t.code, out);
      break;
    case TagKind::kCount: {
      int n = Count(e, args, t.code);
      while (o.depth > n && !stack_.empty()) CloseTop(out);
      break;
    }
    case TagKind::kAttributes:
      if (o.attrs.empty()) break;
      BuildAttrs(t, e, args);
      if (scratch_ != o.attrs) CloseTo(t.code, out);
      break;
    case TagKind::kNesting:
      if (e.Has(t.close_code) && o.depth > 0) CloseTo(t.code, out);
      break;
    case TagKind::kVoid:
      break;
  }
}

void TagState::OpenFor(const TarnStruct& e, const ArgPool& args, std::string& out) {
  for (int i = 0; i < kTagCount; ++i) {
    const TagInfo& t = kTags[i];
    if (e.codes & kOpenedBy[std::size_t(i)]) {
      if (t.kind == TagKind::kAttributes || e.Has(t.code)) Start(t, e, args, out);
    } else if (t.kind == TagKind::kAttributes && !open_[i].attrs.empty()) {
      Start(t, e, args, out);  // no attribute parts against open ones
    }
  }
}

void TagState::Start(const TagInfo& t, const TarnStruct& e, const ArgPool& args, std::string& out) {
  Open& o = state(t);
  switch (t.kind) {
    case TagKind::kFlag:
    case TagKind::kLevel:
      if (o.depth) return;
      o.depth = t.kind == TagKind::kLevel ? LevelOf(args.Get(e, t.code)) : 1;
      break;
    case TagKind::kCount:
      for (int n = Count(e, args, t.code); o.depth < n; ++o.depth) {
        out += t.start;
        Push(t);
      }
      return;
    case TagKind::kAttributes:
      // Empty attributes equal empty current ones: nothing for an element
      // without attribute commands.
      BuildAttrs(t, e, args);
      if (scratch_ == o.attrs) return;
      out += t.start;
      out += scratch_;
      out += t.start_tail;
      o.attrs = scratch_;
      Push(t);
      return;
    case TagKind::kNesting:
      ++o.depth;
      break;
    case TagKind::kVoid:
      break;
  }
  std::string_view arg = t.arg == TagArg::kNone ? std::string_view() : args.Get(e, t.code);
  out += t.start;
  if (t.arg == TagArg::kSpaced && !arg.empty()) out += ' ';
  out.append(arg);
  out += t.start_tail;
  if (t.kind != TagKind::kVoid) Push(t);
}

void TagState::CloseTop(std::string& out) {
  if (stack_.empty()) return;
  int code = stack_.back().code;
  stack_.pop_back();
  const TagInfo* t = TagOf(code);
  if (!t) return;
  Open& o = state(*t);
  out += t->end;
  switch (t->kind) {
    case TagKind::kLevel:
      out += char('0' + o.depth);
      out += '>';
      o.depth = 0;
      break;
    case TagKind::kCount:
    case TagKind::kNesting:
      --o.depth;
      break;
    case TagKind::kAttributes:
      o.attrs.clear();
      break;
    default:
      o.depth = 0;
      break;
  }
}

void TagState::CloseTo(int code, std::string& out) {
  while (!stack_.empty()) {
    bool last = stack_.back().code == code;
    CloseTop(out);
    if (last) break;
  }
}

void TagState::CloseAll(std::string& out) {
  while (!stack_.empty()) CloseTop(out);
}

void TagState::CloseAboveTable(std::string& out) {
  while (!stack_.empty() && stack_.back().code != kTable) CloseTop(out);
}

}  // namespace norvelle
