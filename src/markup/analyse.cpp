#include "markup/analyse.h"

#include <algorithm>
#include <cstdint>

#include "base/number.h"
#include "markup/command_line.h"
#include "markup/commands.h"
#include "report/messages.h"
#include "text/dbcs.h"

namespace norvelle {

LineAnalyser::LineAnalyser(ElementList& elements, ArgPool& args, TextArena& arena,
                           Diagnostics& report, std::string split_key)
    : elements_(elements),
      args_(args),
      arena_(arena),
      report_(report),
      split_key_(std::move(split_key)),
      command_pattern_(RegexCompile(kCommandLinePattern)) {
  // The placeholder: marks the lower end for prev and is never converted.
  TarnStruct placeholder;
  placeholder.Set(kNext);
  elements_.push_back(placeholder);
}

void LineAnalyser::Error(Msg msg, std::string_view word) { Report(report_, msg, report_.line_number, word); }

bool LineAnalyser::MatchCommandLine(std::string_view line) {
  words_.clear();
  if (line.empty() || line[0] != '|') return false;
  // The words and text are views into the line, which lives as long as the run.
  if (line.size() <= kMaxScannedCommandLine && line.size() <= long_line_)
    return ScanCommandLine(line, words_, text_);
  // Too long for the pattern engine: match the head, cut at a character
  // boundary. The pattern's last item takes every character to the end, so
  // the text found there simply runs on to the end of the line.
  std::string_view head = line;
  if (line.size() > long_line_) {
    const char* e = line.data() + line.size();
    const char* p = line.data();
    while (p < e && std::size_t(p - line.data()) < window_) p = NextChar(p, e);
    head = line.substr(0, std::size_t(p - line.data()));
  }
  if (RegexSearch(head, command_pattern_, "s", &hits_) <= 0 || hits_.count() == 0) return false;
  std::uint32_t n = hits_.count();
  for (std::uint32_t i = 0; i + 1 < n; ++i) words_.push_back(arena_.Store(hits_[i].view()));
  text_ = arena_.Store(line.substr(head.size() - hits_[n - 1].length()));
  return true;
}

void LineAnalyser::PlainElements(std::string_view text) {
  bool first = true;
  SplitAtKey(text, split_key_, [&](std::string_view piece) {
    TarnStruct& e = line_.emplace_back();
    e.SetText(piece);
    if (first) e.Set(kLineStart);
    first = false;
  });
}

// A plain line has no commands and no extras: its elements go straight to the
// list, as FlushLine would move them.
void LineAnalyser::PlainLine(std::string_view text) {
  last_line_start_ = elements_.size();
  if (pack_ && !split_key_.empty()) {
    if (split_keys_.empty() || split_keys_.back() != split_key_) split_keys_.push_back(arena_.Store(split_key_));
    TarnStruct& e = elements_.emplace_back();
    e.SetText(text);
    e.Set(kLineStart);
    e.Set(kPackedLine);
    e.args = static_cast<std::uint32_t>(split_keys_.size() - 1);
    return;
  }
  bool first = true;
  SplitAtKey(text, split_key_, [&](std::string_view piece) {
    TarnStruct& e = elements_.emplace_back();
    e.SetText(piece);
    if (first) e.Set(kLineStart);
    first = false;
  });
}

TarnStruct& LineAnalyser::LineElement(std::string_view text) {
  TarnStruct& e = line_.emplace_back();
  e.SetText(text);
  e.Set(kLineStart);
  return e;
}

void LineAnalyser::ControlElement(std::string_view text) { LineElement(text).Set(kControl); }

void LineAnalyser::TableLine(std::string_view word, std::string_view cells) {
  if (table_nesting_ == 0) {
    saved_split_ = split_key_;
    split_key_ = "\t";
  }
  ++table_nesting_;
  PlainElements(cells);
  args_.Set(line_.front(), kTable, CommandArgument(word, kTable));
  line_.front().Set(kTable);
}

void LineAnalyser::EndTable() {
  ControlElement({});
  if (table_nesting_ > 0) {
    --table_nesting_;
    line_.back().Set(kEndtable);
    line_.back().Set(kNext);
    if (table_nesting_ == 0) split_key_ = saved_split_;
  }
}

LineKind LineAnalyser::Classify(bool command, int code) const {
  if (!command && (base_words_.empty() || in_source_)) return in_source_ ? LineKind::kSourceLine : LineKind::kPlain;
  if (command && words_.size() == 1 && words_[0] == "setsplit") return LineKind::kSetSplit;
  switch (code) {
    case kBase: return LineKind::kBase;
    case kTable: return LineKind::kTable;
    case kEndtable: return LineKind::kEndTable;
    case kCppsrc: return LineKind::kSourceStart;
    case kEndcppsrc: return LineKind::kSourceEnd;
    default: break;
  }
  if (in_source_ && command) return LineKind::kSourceCommand;
  if (ClassOf(code) == CommandClass::kAlone) return LineKind::kAlone;
  return LineKind::kCommands;
}

void LineAnalyser::Analyse(std::string_view line) {
  FlushLine();
  ++line_serial_;
  if (in_source_ && (line.empty() || line[0] != '|')) {
    // A listing line that no command can start: stored at once, as a
    // packed plain line is (a listing is many of them).
    words_.clear();
    last_line_start_ = elements_.size();
    TarnStruct& e = elements_.emplace_back();
    e.SetText(line);
    e.Set(kLineStart);
    e.Set(kSourceLine);
    return;
  }
  bool command = MatchCommandLine(line);
  if (command && words_.empty()) {
    // "||text": no command words; the text after the two bars is a plain line.
    command = false;
    line = text_;
  }
  int code = command ? CommandCode(words_[0]) : kUnknown;
  switch (Classify(command, code)) {
    case LineKind::kPlain: PlainLine(line); return;
    case LineKind::kSourceLine: LineElement(line).Set(kSourceLine); return;
    case LineKind::kSetSplit: split_key_.assign(text_); ControlElement({}); return;
    case LineKind::kBase: SetBase(text_); ControlElement({}); return;
    case LineKind::kTable: TableLine(words_[0], text_); return;
    case LineKind::kEndTable: EndTable(); return;
    case LineKind::kSourceStart: ControlElement({}); in_source_ = true; return;
    case LineKind::kSourceEnd: ControlElement({}); in_source_ = false; return;
    case LineKind::kSourceCommand: ControlElement(text_); line_.back().Set(kSourceLine); return;
    case LineKind::kAlone:
      ControlElement(text_);
      line_.back().Set(code);
      if (ArgRuleOf(code) != ArgRule::kNone) args_.Set(line_.back(), code, CommandArgument(words_[0], code));
      return;
    case LineKind::kCommands: CommandElements(line, command); return;
  }
}

void LineAnalyser::SetBase(std::string_view text) {
  // Its words go in front of every later line's own. Text that would not cut
  // the same way once joined (a bar, or a lead byte that would pair with the
  // joining byte) keeps the joined form and is matched again per line.
  base_words_.clear();
  base_joined_ = "|";
  base_joined_.append(text);
  if (text.empty()) return;
  bool lone_lead = IsLeadByte(static_cast<unsigned char>(text.back())) &&
                   FindLastCharIf(text, [](char) { return true; }) == text.size() - 1;
  base_rematch_ = lone_lead || FindChar(text, '|') != std::string_view::npos;
  SplitAtKey(text, ",", [&](std::string_view word) { base_words_.push_back(arena_.Store(word)); });
}

void LineAnalyser::CommandElements(std::string_view line, bool command) {
  if (!base_words_.empty()) {
    if (base_rematch_) {
      if (!RematchWithBase(line, command)) return;
    } else {
      // "|B|line" drops an empty last word of B; "|B,W|" keeps it.
      std::size_t keep = base_words_.size() - (!command && base_words_.back().empty());
      if (!command) text_ = line;
      words_.insert(words_.begin(), base_words_.begin(), base_words_.begin() + std::ptrdiff_t(keep));
    }
  }
  PlainElements(text_);
  for (std::string_view word : words_) ApplyWord(word);
}

bool LineAnalyser::RematchWithBase(std::string_view line, bool command) {
  scratch_ = base_joined_;
  if (command) {
    scratch_ += ',';
    scratch_.append(line.substr(1));
  } else {
    scratch_ += '|';
    scratch_.append(line);
  }
  // The joined text may become one element.
  if (scratch_.size() > max_line_) throw LineTooLong{report_.line_number};
  if (MatchCommandLine(arena_.Store(scratch_))) return true;
  PlainElements(line);
  return false;
}

void LineAnalyser::ApplyWord(std::string_view word) {
  if (!word.empty() && IsDigit(word[0])) {
    ApplyNumbered(word);
    return;
  }
  int code = CommandCode(word);
  CommandClass cls = ClassOf(code);
  if (cls == CommandClass::kAlone || cls == CommandClass::kBlock) {
    Error(Msg::kMustBeAlone, word);
  } else if (cls == CommandClass::kLineAction) {
    Store(0, code, word);
  } else {
    // Storing the same attribute on every element again changes nothing; a
    // line repeating one word thousands of times must not cost words x elements.
    bool bad_heading = code == kHeading && (word.size() < 2 || word[1] < '1' || word[1] > '6');
    if (IsStoredCode(code) && !bad_heading) {
      WideAttr& last = wide_[code];
      std::string_view arg = code == kHeading ? word.substr(0, 2) : CommandArgument(word, code);
      if (last.line == line_serial_ && last.arg == arg) return;
      last.line = line_serial_;
      last.arg = arg;
    }
    for (std::size_t k = 0; k < line_.size(); ++k) Store(k, code, word);
  }
}

void LineAnalyser::ApplyNumbered(std::string_view word) {
  std::size_t c = 0;
  while (c < word.size() && (IsDigit(word[c]) || word[c] == '-' || word[c] == '.')) ++c;
  std::string_view cmd = word.substr(c);
  int code = CommandCode(cmd);
  CommandClass cls = ClassOf(code);
  std::size_t p = 0;
  for (;;) {
    long n = ReadNumber(word, p, 0);
    long m = n;
    if (p < word.size() && word[p] == '-') {
      ++p;
      m = ReadNumber(word, p, 0);
    }
    for (long k = n; k <= m; ++k) {
      if (std::size_t(k) >= line_.size()) {
        Error(Msg::kBadElementNumber, {});
        break;
      }
      if (cls == CommandClass::kAlone || cls == CommandClass::kBlock) {
        Error(Msg::kMustBeAlone, cmd);
        break;
      }
      Store(std::size_t(k), code, cmd);
      if (IsStoredCode(code)) wide_[code].line = 0;  // no longer the same on every element
    }
    if (p < word.size() && word[p] == '.') {
      ++p;
      continue;
    }
    break;
  }
}

void LineAnalyser::Store(std::size_t k, int code, std::string_view word) {
  TarnStruct& e = line_[k];
  switch (code) {
    case kUnknown: Error(Msg::kUnknownCommand, word); return;
    case kStart: e.Set(kConv); e.Set(kAutobr); return;
    case kStop: e.Set(kNoconv); e.Set(kAutobr); return;
    case kNobrStart: e.Set(kConv); e.Set(kNoautobr); return;
    case kNobrStop: e.Set(kNoconv); e.Set(kNoautobr); return;
    case kIns: e.Set(kNext); Prev(k); return;
    case kPrev: Prev(k); return;
    case kHeading:
      if (word.size() < 2 || word[1] < '1' || word[1] > '6') {
        Error(Msg::kBadHeading, word);
        return;
      }
      e.Set(kHeading);
      args_.Set(e, kHeading, word.substr(1, 1));
      e.Set(kNext);  // no line break after a heading line
      return;
    default: break;
  }
  if (code < 0) {
    Error(Msg::kUnknownCommand, word);
    return;
  }
  std::string_view arg = CommandArgument(word, code);
  bool has_arg = ArgRuleOf(code) != ArgRule::kNone;
  if (ClassOf(code) == CommandClass::kLineAction && e.Has(code)) {
    StoreExtra(k, code, arg);
    return;
  }
  e.Set(code);
  if (has_arg) args_.Set(e, code, arg);
}

void LineAnalyser::StoreExtra(std::size_t k, int code, std::string_view arg) {
  if (extras_.size() < line_.size()) extras_.resize(line_.size());
  std::vector<TarnStruct>& list = extras_[k];
  // A code always goes to the first extra that lacks it, so the extras that
  // carry it are a prefix of the list: halve it instead of walking it, or a
  // line of n repeated words would cost n * n.
  auto free = std::partition_point(list.begin(), list.end(),
                                   [code](const TarnStruct& x) { return x.Has(code); });
  TarnStruct* target;
  if (free != list.end()) {
    target = &*free;
  } else {
    target = &list.emplace_back();
    target->Set(kExtra);
  }
  target->Set(code);
  if (ArgRuleOf(code) != ArgRule::kNone) args_.Set(*target, code, arg);
}

void LineAnalyser::Prev(std::size_t k) {
  // The nearest line start before element k, down to position 1 (position 0
  // is the placeholder). Only a line's first element carries the mark, so it
  // is this line's first element or the last line's: no walking back, which
  // would cost the square of a long line when many of its elements carry prev.
  if (k > 0 && line_[0].Has(kLineStart)) {
    line_[0].Set(kNext);
    return;
  }
  if (last_line_start_ > 0) elements_[last_line_start_].Set(kNext);
}

void LineAnalyser::FlushLine() {
  for (std::size_t k = 0; k < line_.size(); ++k) {
    if (line_[k].Has(kLineStart)) last_line_start_ = elements_.size();
    elements_.push_back(line_[k]);
    if (k >= extras_.size() || extras_[k].empty()) continue;
    std::vector<TarnStruct>& extras = extras_[k];
    // The element's text moves to its last extra.
    extras.back().text = line_[k].text;
    extras.back().len = line_[k].len;
    TarnStruct& moved = elements_.back();
    moved.text = "";
    moved.len = 0;
    for (const TarnStruct& x : extras) elements_.push_back(x);
  }
  line_.clear();
  extras_.clear();
}

void LineAnalyser::Finish() {
  FlushLine();
  TarnStruct sentinel;
  sentinel.Set(kComment);
  elements_.push_back(sentinel);
}

}  // namespace norvelle
