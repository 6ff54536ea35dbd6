#include "convert/writer.h"

#include "base/format.h"
#include "convert/escape.h"
#include "convert/messages.h"
#include "convert/source_path.h"
#include "platform/files.h"

namespace norvelle {

namespace {

// A "%d" read at the start of text: leading blanks, a sign, digits. False
// when no digit follows. Saturates instead of overflowing.
bool ScanInt(std::string_view s, long& out) {
  std::size_t p = 0;
  while (p < s.size() && (s[p] == ' ' || (s[p] >= '\t' && s[p] <= '\r'))) ++p;
  bool neg = false;
  if (p < s.size() && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
  if (p >= s.size() || s[p] < '0' || s[p] > '9') return false;
  long v = 0;
  while (p < s.size() && s[p] >= '0' && s[p] <= '9') {
    if (v < 1000000000L) v = v * 10 + (s[p] - '0');
    ++p;
  }
  out = neg ? -v : v;
  return true;
}

long Clamp(long v, long lo, long hi) { return v < lo ? lo : (v > hi ? hi : v); }

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

ElementWriter::ElementWriter(ConversionHost& host, const std::vector<TarnStruct>& elements,
                             const ArgPool& args, int lines_read, std::string rules_folder,
                             std::string output_folder)
    : host_(host),
      elements_(elements),
      args_(args),
      lines_read_(lines_read),
      rules_folder_(std::move(rules_folder)),
      output_folder_(std::move(output_folder)) {}

void ElementWriter::ApplyRules(const RuleSettings& r, bool initial) {
  header_ = r.header;
  footer_ = r.footer;
  tab_n_ = r.tab_stop;
  if (initial) SetTabString();  // a rule switch keeps the tab string
  colours_.normal = r.colour_normal;
  colours_.keyword = r.colour_keyword;
  colours_.string = r.colour_string;
  colours_.comment = r.colour_comment;
  colours_.line = r.colour_line;
  colours_.symbol = r.colour_symbol;
  colours_.chr = r.colour_char;
  colours_.number = r.colour_num;
  for (int i = 0; i < kReplaceCount; ++i) slots_[i] = r.replace[i];
  join_raw_.assign(r.join_key.data(), r.join_key.length());
  join_escaped_.clear();
  AppendEscaped(join_escaped_, join_raw_);
  src_line_out_ = r.src_line_out;
  replacer_.Build(r.auto_replace);
}

void ElementWriter::SetFixedSlots(const CStr (&dates)[4], const CStr& title) {
  for (int i = 0; i < 4; ++i) slots_[100 + i] = dates[i];
  slots_[104] = title;
  title_ = title;
}

void ElementWriter::SetTabString() {
  tab_string_.clear();
  for (int i = 0; i < tab_n_; ++i) tab_string_ += "&nbsp;";
}

bool ElementWriter::Converts(const TarnStruct& e) const {
  return (conv_ && !e.Has(kPlain)) || e.Has(kLconv);
}

int ElementWriter::Count(const TarnStruct& e, int code) const {
  if (!e.Has(code)) return 0;
  // Read as "%d" reads; 1 when no number can be read. A million nested tags
  // is far past any page; the cap keeps a typo from filling the disk.
  long v;
  if (!ScanInt(args_.Get(e, code), v)) return 1;
  return int(Clamp(v, 0, 1000000));
}

void ElementWriter::ReportError(int msg, const std::string& path) {
  CStr line;
  Format(line, Message(static_cast<Msg>(msg)).c_str(), host_.line_number, path.c_str());
  host_.AddError(line.view());
}

bool ElementWriter::Run() {
  body_.reserve(std::size_t(elements_.size()) * 8);
  host_.line_number = 0;
  tags_.Clear();
  for (std::size_t i = 1; i < elements_.size(); ++i) {
    if (host_.Pump()) return false;
    Element(elements_[i], i);
    if (cancelled_) return false;
  }
  tags_.CloseAll(body_);
  return true;
}

void ElementWriter::Element(const TarnStruct& e, std::size_t& i) {
  bool line_start = e.Has(kLineStart) || promoted_ == i;
  if (line_start) {
    ++host_.line_number;
    host_.SetProgressPos(lines_read_ + host_.line_number);
  }
  if (e.Has(kCommentOpen)) ++comment_depth_;
  if (e.Has(kCommentClose) && comment_depth_ > 0) --comment_depth_;
  if (e.Has(kComment)) {
    // The next element of the line takes over the line start.
    if (line_start && i + 1 < elements_.size()) {
      if (!elements_[i + 1].Has(kLineStart)) {
        --host_.line_number;
        promoted_ = i + 1;
      }
    }
    return;
  }
  if (comment_depth_ > 0) return;
  if (e.Has(kIni)) {
    SwitchRules(e);
    return;
  }
  if (e.Has(kConv)) conv_ = true;
  if (e.Has(kNoconv)) conv_ = false;
  if (e.Has(kAutobr)) autobr_ = true;
  if (e.Has(kNoautobr)) autobr_ = false;
  if (e.Has(kSrcLineOut)) src_line_out_ = true;
  if (e.Has(kNoSrcLineOut)) src_line_out_ = false;
  if (!e.Has(kExtra)) ClosingStep(e);

  if (e.Has(kRawClose)) {
    body_ += "</";
    body_.append(args_.Get(e, kRawClose));
    body_ += '>';
  }
  bool control = e.Has(kControl);
  if (!control) {
    if (line_start) {
      if (!suppress_break_) {
        if (autobr_) {
          if (tags_.tables > 0) {
            tags_.CloseAboveTable(body_);
            body_ += "</tr><tr><td>";
          } else {
            body_ += "<br>";
          }
        }
        body_ += '\n';
      }
      suppress_break_ = e.Has(kNext);
      header_cell_ = false;
    } else if (!e.Has(kExtra)) {
      if (header_cell_) {
        body_ += "<th>";
      } else if (tags_.tables > 0) {
        tags_.CloseAboveTable(body_);
        body_ += "<td>";
      } else {
        body_ += Converts(e) ? join_escaped_ : join_raw_;
      }
    }
  } else if (e.Has(kNext)) {
    suppress_break_ = true;
  }
  if (e.Has(kRawOpen)) {
    body_ += '<';
    body_.append(args_.Get(e, kRawOpen));
    body_ += '>';
  }
  if (e.Has(kSourceLine)) {
    if (!SourceBlock(i)) cancelled_ = true;
  } else if (e.Has(kTitle)) {
    title_.Assign(e.text, e.len);
  } else if (e.Has(kExreps) || e.Has(kExrepe)) {
    int code = e.Has(kExreps) ? kExreps : kExrepe;
    std::string marker = "<exrep";
    marker.append(args_.Get(e, code));
    marker += '>';
    (code == kExreps ? header_ : footer_).ReplaceAll(marker, e.Text());
  } else if (!control) {
    OpeningStep(e);
    WriteText(e);
  }
}

void ElementWriter::ClosingStep(const TarnStruct& e) {
  int big = Count(e, kBig);
  while (tags_.big > big && !tags_.empty()) tags_.CloseTop(body_);
  int small = Count(e, kSmall);
  while (tags_.small > small && !tags_.empty()) tags_.CloseTop(body_);
  if (!tags_.font.empty()) {
    BuildFontAttrs(e, attrs_);
    if (attrs_ != tags_.font) tags_.CloseTo(kFont, body_);
  }
  if (!tags_.link.empty()) {
    BuildLinkAttrs(e, attrs_);
    if (attrs_ != tags_.link) tags_.CloseTo(kAnchor, body_);
  }
  if (e.Has(kEndtable) && tags_.tables > 0) tags_.CloseTo(kTable, body_);
  if (!e.Has(kBold) && tags_.bold) tags_.CloseTo(kBold, body_);
  if (!e.Has(kItalic) && tags_.italic) tags_.CloseTo(kItalic, body_);
  if (!e.Has(kTeletype) && tags_.teletype) tags_.CloseTo(kTeletype, body_);
  if (!e.Has(kPre) && tags_.pre) tags_.CloseTo(kPre, body_);
  if (!e.Has(kCenter) && tags_.center) tags_.CloseTo(kCenter, body_);
  if (tags_.heading) {
    if (!e.Has(kHeading)) {
      tags_.CloseTo(kHeading, body_);
    } else {
      std::string_view level = args_.Get(e, kHeading);
      if (level.empty() || level[0] - '0' != tags_.heading) tags_.CloseTo(kHeading, body_);
    }
  }
  if (!e.Has(kSpan) && !tags_.span.empty()) tags_.CloseTo(kSpan, body_);
}

void ElementWriter::BuildFontAttrs(const TarnStruct& e, std::string& out) const {
  out.clear();
  if (e.Has(kFont)) {
    out += ' ';
    out.append(args_.Get(e, kFont));
  }
  if (e.Has(kColor)) AppendQuotedAttr(out, "color", args_.Get(e, kColor));
  if (e.Has(kSize)) AppendQuotedAttr(out, "size", args_.Get(e, kSize));
}

void ElementWriter::BuildLinkAttrs(const TarnStruct& e, std::string& out) const {
  out.clear();
  if (e.Has(kAnchor)) {
    out += ' ';
    out.append(args_.Get(e, kAnchor));
  }
  if (e.Has(kLink)) AppendQuotedAttr(out, "href", args_.Get(e, kLink));
  if (e.Has(kTarget)) AppendQuotedAttr(out, "target", args_.Get(e, kTarget));
  if (e.Has(kName)) AppendQuotedAttr(out, "name", args_.Get(e, kName));
}

void ElementWriter::OpenOnce(bool& open, int code, const char* tag) {
  if (open) return;
  body_ += tag;
  open = true;
  tags_.Push(code);
}

void ElementWriter::OpeningStep(const TarnStruct& e) {
  // Plain text with nothing open that could need a font or link tag.
  if ((e.codes & ~(std::uint64_t(1) << kLineStart)) == 0 && tags_.font.empty() && tags_.link.empty())
    return;
  if (e.Has(kBr)) body_ += "<br>";
  if (e.Has(kIndent)) {
    long k = 0;
    ScanInt(args_.Get(e, kIndent), k);
    k = Clamp(k, 1, 128);
    for (long n = 0; n < k; ++n) body_ += "&nbsp;";
  }
  if (e.Has(kHeading) && !tags_.heading) {
    std::string_view level = args_.Get(e, kHeading);
    body_ += "<h";
    body_.append(level);
    body_ += '>';
    tags_.heading = level.empty() ? 0 : level[0] - '0';
    tags_.Push(kHeading);
  }
  if (e.Has(kPre)) OpenOnce(tags_.pre, kPre, "<pre>");
  if (e.Has(kHr)) {
    std::string_view arg = args_.Get(e, kHr);
    body_ += "<hr";
    if (!arg.empty()) {
      body_ += ' ';
      body_.append(arg);
    }
    body_ += '>';
  }
  if (e.Has(kBold)) OpenOnce(tags_.bold, kBold, "<b>");
  if (e.Has(kItalic)) OpenOnce(tags_.italic, kItalic, "<i>");
  if (e.Has(kTeletype)) OpenOnce(tags_.teletype, kTeletype, "<tt>");
  if (e.Has(kBig)) {
    int n = Count(e, kBig);
    while (tags_.big < n) {
      body_ += "<big>";
      tags_.Push(kBig);
      ++tags_.big;
    }
  }
  if (e.Has(kSmall)) {
    int n = Count(e, kSmall);
    while (tags_.small < n) {
      body_ += "<small>";
      tags_.Push(kSmall);
      ++tags_.small;
    }
  }
  BuildFontAttrs(e, attrs_);
  if (attrs_ != tags_.font) {
    body_ += "<font";
    body_ += attrs_;
    body_ += '>';
    tags_.font = attrs_;
    tags_.Push(kFont);
  }
  BuildLinkAttrs(e, attrs_);
  if (attrs_ != tags_.link) {
    body_ += "<a";
    body_ += attrs_;
    body_ += '>';
    tags_.link = attrs_;
    tags_.Push(kAnchor);
  }
  if (e.Has(kSpan) && tags_.span.empty()) {
    std::string_view arg = args_.Get(e, kSpan);
    body_ += "<span ";
    body_.append(arg);
    body_ += '>';
    tags_.span.assign(arg);
    tags_.span += ' ';
    tags_.Push(kSpan);
  }
  if (e.Has(kCenter)) OpenOnce(tags_.center, kCenter, "<center>");
  if (e.Has(kTable)) {
    std::string_view arg = args_.Get(e, kTable);
    ++tags_.tables;
    header_cell_ = true;
    body_ += "<table";
    if (!arg.empty()) {
      body_ += ' ';
      body_.append(arg);
    }
    body_ += "><tr><th>";
    tags_.Push(kTable);
  }
  if (e.Has(kTabcnt)) {
    long n = tab_n_;
    ScanInt(args_.Get(e, kTabcnt), n);
    tab_n_ = int(Clamp(n, 1, 127));
    SetTabString();
  }
  if (e.Has(kImg)) {
    body_ += "<img src=\"";
    body_.append(args_.Get(e, kImg));
    body_ += '"';
    std::string_view alt = args_.Get(e, kAlt);
    if (!alt.empty()) {
      body_ += " alt=\"";
      body_.append(alt);
      body_ += '"';
    }
    body_ += '>';
  }
  if (e.Has(kSetrep)) ApplySetRep(args_.Get(e, kSetrep), slots_);
  if (e.Has(kRep)) {
    if (const CStr* slot = RepSlot(args_.Get(e, kRep), slots_)) body_.append(slot->view());
  }
  if (e.Has(kInclude)) Include(e);
  if (e.Has(kRawPlus)) {
    body_ += '<';
    body_.append(args_.Get(e, kRawPlus));
    body_ += '>';
  }
}

void ElementWriter::WriteText(const TarnStruct& e) {
  bool convert = Converts(e);
  if (!replacer_.empty()) {
    replacer_.WriteElementText(body_, e.Text(), convert, tab_string_);
    if (replacer_.cut_off()) ReportError(int(Msg::kPatternCutOff), "");
  } else if (convert) {
    AppendConverted(body_, e.Text(), tab_string_);
  } else {
    body_.append(e.Text());
  }
}

void ElementWriter::Include(const TarnStruct& e) {
  std::string path = CleanPath(DocumentPath(args_.Get(e, kInclude)), output_folder_);
  std::string text;
  if (path.empty() || !ReadTextFile(path, text)) {
    ReportError(int(Msg::kCannotOpenInclude), path.empty() ? output_folder_ : path);
    return;
  }
  body_ += text;
}

void ElementWriter::SwitchRules(const TarnStruct& e) {
  std::string path = rules_folder_ + "/" + DocumentPath(e.Text()) + ".qdx";
  RuleStore store;
  if (!store.Load(path, true)) {
    ReportError(int(Msg::kCannotAccessRule), path);
    return;
  }
  RuleSettings settings;
  ReadSettings(store, settings);
  ApplyRules(settings, false);
}

bool ElementWriter::SourceBlock(std::size_t& i) {
  std::size_t end = i;
  while (end < elements_.size() && elements_[end].Has(kSourceLine)) ++end;
  if (tags_.bold) tags_.CloseTo(kBold, body_);
  if (tags_.teletype) tags_.CloseTo(kTeletype, body_);
  if (!tags_.font.empty()) tags_.CloseTo(kFont, body_);
  block_lines_.clear();
  for (std::size_t k = i; k < end; ++k) block_lines_.push_back(elements_[k].Text());
  SourceBlockInput in;
  in.lines = &block_lines_;
  in.line_numbers = src_line_out_;
  in.colours = &colours_;
  in.tab_string = tab_string_;
  in.progress_base = lines_read_ + host_.line_number;
  bool ok = WriteSourceBlock(in, keywords_, body_, [this](int pos) {
    host_.SetProgressPos(pos);
    return host_.Pump();
  });
  if (!ok) return false;
  suppress_break_ = true;
  host_.line_number += int(end - i) - 1;
  i = end - 1;
  return true;
}

}  // namespace norvelle
