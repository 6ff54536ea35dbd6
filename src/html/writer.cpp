#include "html/writer.h"

#include <utility>

#include "base/format.h"
#include "base/number.h"
#include "markup/analyse.h"
#include "html/escape.h"
#include "html/html5_attrs.h"
#include "report/messages.h"
#include "io/source_path.h"
#include "platform/files.h"

namespace norvelle {

using namespace std::string_view_literals;

namespace {

// The widths the language allows: indent= writes at most 128 spaces, and a
// tab stops at 127 at most (a typo must not write megabytes per TAB).
constexpr long kMaxIndent = 128;
constexpr long kMaxTabStop = 127;
// Elements between two pumps, a power of two.
constexpr std::size_t kPumpEvery = 16;
// How far ahead pass 2 asks for the elements it will read.
constexpr std::size_t kPrefetch = 8;

bool SameColours(const ListingColours& a, const ListingColours& b) {
  for (const ListingColourInfo& c : kListingColours)
    if (a[c.colour].view() != b[c.colour].view()) return false;
  return true;
}

void AppendTag(std::string& out, const char* open, std::string_view arg, char close) {
  out += open;
  out.append(arg);
  out += close;
}

}  // namespace

ElementWriter::ElementWriter(Diagnostics& report, ProgressSink& progress, const ElementList& elements,
                             const ArgPool& args, int lines_read, DocumentIO& io, const RuleSource& rules,
                             std::string output_folder)
    : report_(report),
      progress_(progress),
      elements_(elements),
      args_(args),
      lines_read_(lines_read),
      io_(io),
      rules_(rules),
      output_folder_(std::move(output_folder)) {}

void ElementWriter::ApplyRules(const RuleSettings& r, bool initial) {
  if (initial) {
    profile_ = force_html5_ || r.html5 ? kHtml5 : kHtml401;
    tags_.set_profile(profile_);
    if (profile_ == kHtml5) style_ = StyleBlock(r.colours);
    style_colours_ = r.colours;
  }
  header_ = profile_ == kHtml5 ? r.html5_header : r.header;
  footer_ = profile_ == kHtml5 ? r.html5_footer : r.footer;
  lang_ = r.lang;
  tab_n_ = r.tab_stop;
  if (initial) SetTabString();  // a rule switch keeps the tab string
  colours_ = r.colours;
  for (int i = 0; i < kReplaceCount; ++i) slots_[i] = r.replace[i];
  join_raw_.assign(r.join_key.data(), r.join_key.length());
  join_escaped_.clear();
  AppendHtmlEscaped(join_escaped_, join_raw_);
  src_line_out_ = r.src_line_out;
  replacer_.Build(r.auto_replace);
}

void ElementWriter::FinishProfileHeader() {
  if (profile_ == kHtml5) FinishHtml5Header(header_, lang_.view(), style_);
}

void ElementWriter::SetFixedSlots(const Placeholders& marks) {
  marks.FillFixedSlots(slots_);
  title_ = marks.default_title();
}

void ElementWriter::SetTabString() {
  tab_string_.clear();
  for (int i = 0; i < tab_n_; ++i) tab_string_ += "&nbsp;";
}

bool ElementWriter::Converts(const TarnStruct& e) const {
  return (conv_ && !e.Has(kPlain)) || e.Has(kLconv);
}

void ElementWriter::ReportError(Msg msg, std::string_view arg) { Report(report_, msg, report_.line_number, arg); }

bool ElementWriter::WaitFor(std::size_t i) {
  if (i < available_) return true;
  if (!feed_) return false;
  available_ = feed_->WaitBeyond(i, idle_);
  // Pass 1 failed, the user cancelled, or the header may change under a streamed body.
  if (available_ == 0 || (stop_when_late_ && feed_->late())) {
    available_ = 0;
    cancelled_ = true;
  }
  return i < available_;
}

void ElementWriter::SpillIfFull() {
  if (spill_ && body_.size() >= spill_at_) {
    if (spill_(body_)) {
      body_.clear();
    } else {
      spill_failed_ = true;
      spill_ = nullptr;
    }
  }
}

bool ElementWriter::Run() {
  // With a feed, the list grows on pass 1's thread meanwhile: its size is
  // known only through the feed.
  available_ = feed_ ? 0 : elements_.size();
  if (!feed_) body_.reserve(std::size_t(elements_.size()) * 8);
  report_.line_number = 0;
  if (marks_) marks_->clear();
  tags_.Clear();
  for (std::size_t i = 1; WaitFor(i); ++i) {
    // Every 16th element: the position and the pump go through several
    // hosts, and an element takes well under a microsecond.
    if ((i & (kPumpEvery - 1)) == 1) {
      progress_.SetProgressPos(lines_read_ + report_.line_number);
      if (progress_.Pump()) return false;
    }
    if (feed_ && (i & (ElementList::kChunk - 1)) == 0) feed_->Consumed(i);
    // Pass 1 wrote the elements on another core, long before.
    if (i + kPrefetch < available_) __builtin_prefetch(&elements_[i + kPrefetch]);
    if (elements_[i].Has(kPackedLine)) PackedLine(elements_[i], i);
    else Element(elements_[i], i);
    if (cancelled_) return false;
    SpillIfFull();
  }
  if (cancelled_) return false;
  tags_.CloseAll(body_);
  return true;
}

void ElementWriter::Element(const TarnStruct& e, std::size_t& i) {
  bool line_start = e.Has(kLineStart) || promoted_ == i;
  if (line_start) ++report_.line_number;
  if (e.Has(kCommentOpen)) ++comment_depth_;
  if (e.Has(kCommentClose) && comment_depth_ > 0) --comment_depth_;
  if (e.Has(kComment)) {
    PromoteLineStart(line_start, i);
    return;
  }
  if (comment_depth_ > 0) return;
  if (e.Has(kIni)) {
    SwitchRules(e);
    return;
  }
  ApplySwitches(e);
  if (!e.Has(kExtra)) tags_.CloseFor(e, args_, body_);
  if (e.Has(kRawClose)) AppendTag(body_, "</", args_.Get(e, kRawClose), '>');
  bool control = e.Has(kControl);
  if (!control) {
    LineBreakOrSeparator(e, line_start);
  } else if (e.Has(kNext)) {
    suppress_break_ = true;
  }
  // After the break, so that a mark stands where the line is shown.
  if (line_start) MarkLine();
  if (e.Has(kRawOpen)) AppendTag(body_, "<", args_.Get(e, kRawOpen), '>');
  if (e.Has(kSourceLine)) {
    if (!SourceBlock(i)) cancelled_ = true;
  } else if (e.Has(kTitle)) {
    title_.Assign(e.text, e.len);
  } else if (e.Has(kExreps)) {
    FillMarker(header_, args_.Get(e, kExreps), e.Text(), Msg::kHeaderTooLong);
  } else if (e.Has(kExrepe)) {
    FillMarker(footer_, args_.Get(e, kExrepe), e.Text(), Msg::kFooterTooLong);
  } else if (!control) {
    OpeningStep(e);
    WriteText(e);
  }
}

// The pieces pass 1 would have stored: the first with the line's marks, the
// others with none; no piece carries arguments. Once the first is written
// with no tag open, no table cell pending and no comment running, a later
// piece changes no state: it writes the separator and its text, as Element
// would; converted without a replacement list, all of them in one pass.
void ElementWriter::PackedLine(const TarnStruct& e, std::size_t i) {
  const std::string_view key = (*split_keys_)[e.args];
  // Most lines of a document: plain text with no mark but the line start,
  // nothing open, converted without a replacement list. Element would write
  // the line break and the first piece and change no state; the pieces then
  // go out in one pass.
  constexpr std::uint64_t kPlainLine = (std::uint64_t(1) << kPackedLine) | (std::uint64_t(1) << kLineStart);
  const bool plain = e.codes == kPlainLine && conv_ && comment_depth_ == 0 && tags_.empty() &&
                     tags_.Depth(kTable) == 0 && key.size() == 1 && CanCutWhileConverting(key[0]);
  if (plain) {
    ++report_.line_number;
    LineBreakOrSeparator(e, true);
    MarkLine();
    if (LeavesEach(e.Text(), key[0])) {
      AppendConvertedCut(body_, e.Text(), tab_string_, key[0], join_escaped_);
      return;
    }
  }
  std::string_view rest = e.Text();
  const std::size_t cut = FindAtCharStart(rest, key);
  TarnStruct piece = e;
  piece.codes &= ~(std::uint64_t(1) << kPackedLine);
  piece.args = 0;
  piece.SetText(rest.substr(0, cut));
  std::size_t at = i;
  if (plain) WriteText(piece);  // all that Element has left to do
  else Element(piece, at);
  if (cut == std::string_view::npos) return;
  rest.remove_prefix(cut + key.size());
  piece.codes = 0;
  const bool direct = comment_depth_ == 0 && tags_.empty() && tags_.Depth(kTable) == 0 && !header_cell_;
  if (!direct) {
    SplitAtKey(rest, key, [&](std::string_view text) {
      piece.SetText(text);
      std::size_t at_piece = i;
      Element(piece, at_piece);
    });
    return;
  }
  if (conv_ && key.size() == 1 && CanCutWhileConverting(key[0]) && LeavesEach(rest, key[0])) {
    body_ += join_escaped_;
    AppendConvertedCut(body_, rest, tab_string_, key[0], join_escaped_);
    return;
  }
  body_ += conv_ ? join_escaped_ : join_raw_;
  if (!replacer_.empty()) {
    ReplacePieces(rest, key);
    return;
  }
  SplitAtKey(rest, key, [&, first = true](std::string_view text) mutable {
    if (!first) body_ += conv_ ? join_escaped_ : join_raw_;
    first = false;
    piece.SetText(text);
    WriteText(piece);
  });
}

// Pieces of a line with nothing open, each written as WriteText writes a
// piece without marks, through the list in one call.
void ElementWriter::ReplacePieces(std::string_view text, std::string_view key) {
  const std::size_t changes = replacer_.changes();
  const std::size_t cut_off =
      replacer_.WritePieces(body_, text, key, conv_ ? join_escaped_ : join_raw_, conv_, tab_string_);
  for (std::size_t n = 0; n < cut_off; ++n) ReportError(Msg::kPatternCutOff, "");
  replacer_.WroteLine(replacer_.changes() == changes);
}

void ElementWriter::PromoteLineStart(bool line_start, std::size_t i) {
  // The next element of the line takes over the line start.
  if (line_start && WaitFor(i + 1) && !elements_[i + 1].Has(kLineStart)) {
    --report_.line_number;
    promoted_ = i + 1;
  }
}

void ElementWriter::ApplySwitches(const TarnStruct& e) {
  if (e.Has(kConv)) conv_ = true;
  if (e.Has(kNoconv)) conv_ = false;
  if (e.Has(kAutobr)) autobr_ = true;
  if (e.Has(kNoautobr)) autobr_ = false;
  if (e.Has(kSrcLineOut)) src_line_out_ = true;
  if (e.Has(kNoSrcLineOut)) src_line_out_ = false;
}

void ElementWriter::LineBreakOrSeparator(const TarnStruct& e, bool line_start) {
  if (line_start) {
    if (!suppress_break_) {
      if (autobr_) {
        if (tags_.Depth(kTable) > 0) {
          tags_.CloseAboveTable(body_);
          Cell("</tr><tr><td>"sv, "</tr><tr><td"sv);
        } else {
          body_ += "<br>"sv;
        }
      }
      body_ += '\n';
    }
    suppress_break_ = e.Has(kNext);
    header_cell_ = false;
  } else if (!e.Has(kExtra)) {
    if (header_cell_) {
      Cell("<th>"sv, "<th"sv);
    } else if (tags_.Depth(kTable) > 0) {
      tags_.CloseAboveTable(body_);
      Cell("<td>"sv, "<td"sv);
    } else {
      body_ += Converts(e) ? join_escaped_ : join_raw_;
    }
  }
}

void ElementWriter::OpeningStep(const TarnStruct& e) {
  // Plain text with nothing open that could need a font or link tag.
  if ((e.codes & ~(std::uint64_t(1) << kLineStart)) == 0 && !tags_.AttributesOpen()) return;
  if (e.Has(kBr)) body_ += "<br>"sv;
  if (e.Has(kIndent)) {
    long k = Clamp(ReadNumber(args_.Get(e, kIndent), 0, NumberSyntax::kScanf), 1, kMaxIndent);
    for (long n = 0; n < k; ++n) body_ += "&nbsp;"sv;
  }
  tags_.OpenFor(e, args_, body_);
  if (e.Has(kTable)) header_cell_ = true;
  if (e.Has(kTabcnt)) {
    tab_n_ = int(Clamp(ReadNumber(args_.Get(e, kTabcnt), tab_n_, NumberSyntax::kScanf), 1, kMaxTabStop));
    SetTabString();
  }
  if (e.Has(kImg)) Image(e);
  if (e.Has(kSetrep)) ApplySetRep(args_.Get(e, kSetrep), slots_);
  if (e.Has(kRep)) {
    if (const CStr* slot = RepSlot(args_.Get(e, kRep), slots_)) body_.append(slot->view());
  }
  if (e.Has(kInclude)) Include(e);
  if (e.Has(kRawPlus)) AppendTag(body_, "<", args_.Get(e, kRawPlus), '>');
}

// HTML5 cells carry the style of their table's legacy attributes.
void ElementWriter::Cell(std::string_view legacy, std::string_view html5_open) {
  if (profile_ == kHtml401) {
    body_ += legacy;
    return;
  }
  body_ += html5_open;
  body_ += tags_.cell_style();
  body_ += '>';
}

// HTML5 requires alt: an image without one gets alt="", and values are
// written as attribute text.
void ElementWriter::Image(const TarnStruct& e) {
  body_ += "<img src=\""sv;
  std::string_view alt = args_.Get(e, kAlt);
  if (profile_ == kHtml5) {
    AppendAttrValue(body_, args_.Get(e, kImg));
    body_ += "\" alt=\""sv;
    AppendAttrValue(body_, alt);
    body_ += "\">"sv;
    return;
  }
  body_.append(args_.Get(e, kImg));
  body_ += '"';
  if (!alt.empty()) {
    body_ += " alt=\""sv;
    body_.append(alt);
    body_ += '"';
  }
  body_ += '>';
}

void ElementWriter::WriteText(const TarnStruct& e) {
  bool convert = Converts(e);
  if (!replacer_.empty()) {
    replacer_.WriteElementText(body_, e.Text(), convert, tab_string_);
    if (replacer_.cut_off()) ReportError(Msg::kPatternCutOff, "");
  } else if (convert) {
    AppendConverted(body_, e.Text(), tab_string_);
  } else {
    body_.append(e.Text());
  }
}

// A fill that would pass the limit is reported and not made: the marker stays
// as it was, so a later line may still fill it with a shorter text.
void ElementWriter::FillMarker(CStr& frame, std::string_view digits, std::string_view with,
                               Msg too_long) {
  if (!Placeholders::FillExrep(frame, digits, with, max_frame_))
    ReportError(too_long, Placeholders::ExrepMarker(digits));
}

void ElementWriter::Include(const TarnStruct& e) {
  std::string path = CleanPath(DocumentPath(args_.Get(e, kInclude)), output_folder_);
  std::string text;
  if (path.empty() || !io_.Read(FileRole::kInclude, path, text)) {
    ReportError(Msg::kCannotOpenInclude, path.empty() ? output_folder_ : path);
    return;
  }
  body_ += text;
}

void ElementWriter::SwitchRules(const TarnStruct& e) {
  RuleSettings settings;
  {  // the store goes before the auto-replace list is built
    RuleStore store;
    std::string tried;
    if (!rules_.LoadNamed(e.Text(), store, tried)) {
      ReportError(Msg::kCannotAccessRule, tried);
      return;
    }
    ReadSettings(std::move(store), settings);
  }
  ApplyRules(settings, false);
}

bool ElementWriter::SourceBlock(std::size_t& i) {
  // The block's lines are usually one piece of the source, one LF apart:
  // then that piece is the block's text, else the lines are joined. (The
  // byte after an element's text is readable: texts are views into strings.)
  std::size_t end = i + 1;
  const char* const first = elements_[i].text;
  const char* stop = first + elements_[i].len;
  bool one_piece = true;
  for (; WaitFor(end) && elements_[end].Has(kSourceLine); ++end) {
    const TarnStruct& e = elements_[end];
    one_piece = one_piece && e.text == stop + 1 && *stop == '\n';
    stop = e.text + e.len;
  }
  std::string_view text(first, std::size_t(stop - first));
  if (!one_piece) {
    block_text_.clear();
    for (std::size_t k = i; k < end; ++k) {
      if (k > i) block_text_ += '\n';
      block_text_.append(elements_[k].Text());
    }
    text = block_text_;
  }
  SourceBlockInput in;
  in.text = text;
  in.line_count = end - i;
  in.line_numbers = src_line_out_;
  in.colours = &colours_;
  in.tab_string = tab_string_;
  in.progress_base = lines_read_ + report_.line_number;
  in.profile = profile_;
  in.colour_classes = profile_ == kHtml5 && SameColours(colours_, style_colours_);
  bool ok = WriteSourceBlock(
      in, keywords_, body_,
      [this](int pos) {
        progress_.SetProgressPos(pos);
        if (progress_.Pump()) return true;
        SpillIfFull();  // a long listing is one element
        return false;
      });
  if (!ok) return false;
  suppress_break_ = true;
  report_.line_number += int(end - i) - 1;
  i = end - 1;
  return true;
}

}  // namespace norvelle
