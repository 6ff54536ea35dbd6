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
  written_.clear();
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
  ++serial_;
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
  const TagRender& r = t.render[profile_];
  switch (t.kind) {
    case TagKind::kFlag:
    case TagKind::kLevel:
      if (o.depth) return;
      o.depth = t.kind == TagKind::kLevel ? LevelOf(args.Get(e, t.code)) : 1;
      break;
    case TagKind::kCount:
      for (int n = Count(e, args, t.code); o.depth < n; ++o.depth) {
        if (profile_ == kHtml5) {
          Start5(t, {}, out);
          continue;
        }
        out += r.start;
        Push(t);
      }
      return;
    case TagKind::kAttributes:
      // Empty attributes equal empty current ones: nothing for an element
      // without attribute commands.
      BuildAttrs(t, e, args);
      if (scratch_ == o.attrs) return;
      o.attrs = scratch_;
      if (profile_ == kHtml5) {
        Start5(t, o.attrs, out);
        return;
      }
      out += r.start;
      out += scratch_;
      out += r.tail;
      Push(t);
      return;
    case TagKind::kNesting:
      ++o.depth;
      break;
    case TagKind::kVoid:
      break;
  }
  std::string_view arg = r.arg == TagArg::kNone ? std::string_view() : args.Get(e, t.code);
  if (profile_ == kHtml5) {
    Start5(t, arg, out);
    return;
  }
  out += r.start;
  if (r.arg == TagArg::kSpaced && !arg.empty()) out += ' ';
  out.append(arg);
  out += r.tail;
  if (t.kind != TagKind::kVoid) Push(t);
}

void TagState::Start5(const TagInfo& t, std::string_view arg, std::string& out) {
  const TagRender& r = t.render[kHtml5];
  Written w;
  w.code = t.code;
  if (t.code == kCenter && InPhrasingBlock()) {
    // A div may not stand in a heading or pre: a span shown as a block.
    w.start = "<span class=\"nv-center\">";
    w.end = "</span>";
  } else {
    w.start = r.start;
    if (r.arg == TagArg::kRaw) {
      w.start.append(arg);
    } else if (r.arg == TagArg::kRewritten) {
      Html5Attrs attrs;
      RewriteAttrs(arg, t.host, attrs);
      w.start += attrs.attrs;
      w.cells = std::move(attrs.cell_style);
    }
    w.start += r.tail;
    if (t.kind == TagKind::kNesting) {  // the first header cell
      w.start += w.cells;
      w.start += '>';
    }
  }
  Place5(t, std::move(w), out);
}

// A block closes the inline formatting open around it and reopens it inside
// itself; the open state does not change, only the entries' order.
void TagState::Place5(const TagInfo& t, Written w, std::string& out) {
  std::size_t keep = stack_.size();
  if (t.flow != TagFlow::kInline)
    while (keep > 0 && TagOf(stack_[keep - 1].code)->flow == TagFlow::kInline) --keep;
  for (std::size_t i = stack_.size(); i-- > keep;) {
    const Written& r = written_[i];
    if (r.serial == serial_ && r.written_to == out.size()) out.resize(out.size() - r.start.size());
    else out += EndOf(*TagOf(stack_[i].code), i);
  }
  reopen_.clear();
  for (std::size_t i = keep; i < written_.size(); ++i) reopen_.push_back(std::move(written_[i]));
  stack_.resize(keep);
  written_.resize(keep);
  out += w.start;
  if (t.kind != TagKind::kVoid) {
    w.written_to = out.size();
    w.serial = serial_;
    Push(t);
    written_.push_back(std::move(w));
  }
  for (Written& r : reopen_) {
    out += r.start;
    r.written_to = out.size();
    r.serial = serial_;
    stack_.push_back({r.code});
    written_.push_back(std::move(r));
  }
}

bool TagState::InPhrasingBlock() const {
  for (const TarnStackStruct& s : stack_)
    if (TagOf(s.code)->flow == TagFlow::kPhrasing) return true;
  return false;
}

const char* TagState::EndOf(const TagInfo& t, std::size_t entry) const {
  if (profile_ == kHtml5 && entry < written_.size() && written_[entry].end) return written_[entry].end;
  return t.render[profile_].end;
}

std::string_view TagState::cell_style() const {
  for (std::size_t i = written_.size(); i-- > 0;)
    if (written_[i].code == kTable) return written_[i].cells;
  return {};
}

void TagState::CloseTop(std::string& out) {
  if (stack_.empty()) return;
  int code = stack_.back().code;
  const TagInfo* t = TagOf(code);
  if (t) out += EndOf(*t, stack_.size() - 1);
  stack_.pop_back();
  if (!written_.empty() && written_.size() > stack_.size()) written_.pop_back();
  if (!t) return;
  Open& o = state(*t);
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
