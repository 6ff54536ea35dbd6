// Pass 2: writing HTML element by element.
//
// For each element: comment handling and rule switches, the closing step of
// formatting it no longer carries, the line break or separator, the opening
// step with the commands that write something, and the element's text. Runs
// of C++ listing lines are gathered into one coloured table. The writer owns
// the conversion state (flags, tab string, join key, replace table) and the
// open-element state.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/str.h"
#include "html/cpp_source.h"
#include "io/document_io.h"
#include "markup/element.h"
#include "markup/feed.h"
#include "report/diagnostics.h"
#include "report/progress.h"
#include "html/placeholders.h"
#include "html/profile.h"
#include "html/replace.h"
#include "io/rule_source.h"
#include "html/tags.h"
#include "rules/rule_keys.h"

namespace norvelle {

// Where a source line's output starts in the body: for a preview that marks
// lines in its own copy of the page.
struct LineMark {
  int line;            // 1-based source line
  std::size_t offset;  // into body(), after the line's break
};

class ElementWriter {
 public:
  // Included files are read through io, relative to output_folder; `ini`
  // rules come from rules. Errors go to report, the bar and the pump to
  // progress.
  ElementWriter(Diagnostics& report, ProgressSink& progress, const ElementList& elements, const ArgPool& args,
                int lines_read, DocumentIO& io, const RuleSource& rules, std::string output_folder);

  // Takes the settings of a rule; `initial` also builds the tab string and
  // picks the profile (the rule's OutputProfile, or HTML5 when forced).
  void ApplyRules(const RuleSettings& rules, bool initial);
  // HTML5 whatever the rules say (--html5); before the initial ApplyRules.
  void set_force_html5(bool on) { force_html5_ = on; }
  Profile profile() const { return profile_; }
  // HTML5: the header's language and style block, once the header is final.
  void FinishProfileHeader();
  // Slots 100..104 and the starting title.
  void SetFixedSlots(const Placeholders& marks);

  // The split keys of kPackedLine elements (LineAnalyser::split_keys); they
  // must outlive Run.
  void set_split_keys(const SplitKeys* keys) { split_keys_ = keys; }
  // Pass 1 runs on another thread and hands elements over through feed:
  // Run waits for each element it needs. `idle` is called while waiting;
  // true from it ends Run as cancelled. `stop_when_late`: Run also ends as
  // cancelled once the feed is marked late. Without a feed, every element is there.
  void set_feed(ElementFeed* feed, std::function<bool()> idle, bool stop_when_late) {
    feed_ = feed;
    idle_ = std::move(idle);
    stop_when_late_ = stop_when_late;
  }

  // Hands the body over in pieces of about `bytes` while Run writes it, so it
  // is never held whole; body() then holds only the rest. Pieces end between
  // elements. A spill that fails is not tried again: the rest stays in body().
  // The spill may take the body's text without copying it (TextPut::Give).
  using Spill = std::function<bool(std::string& body)>;
  void set_spill(Spill spill, std::size_t bytes) {
    spill_ = std::move(spill);
    spill_at_ = bytes;
  }
  bool spill_failed() const { return spill_failed_; }

  // Records where each source line's output starts (a listing: one mark for
  // its first line). Offsets are into the body as a whole: not with a spill.
  void set_line_marks(std::vector<LineMark>* marks) { marks_ = marks; }

  // The most exreps and exrepe may make the header or the footer (kMaxFrameBytes).
  void set_max_frame_bytes(std::size_t n) { max_frame_ = n; }

  // Writes every element after the placeholder. False when cancelled.
  bool Run();

  std::string& body() { return body_; }
  CStr& header() { return header_; }
  CStr& footer() { return footer_; }
  const CStr& title() const { return title_; }

 private:
  void Element(const TarnStruct& e, std::size_t& i);
  void PackedLine(const TarnStruct& e, std::size_t i);
  bool Converts(const TarnStruct& e) const;
  void PromoteLineStart(bool line_start, std::size_t i);
  void ApplySwitches(const TarnStruct& e);
  void LineBreakOrSeparator(const TarnStruct& e, bool line_start);
  void OpeningStep(const TarnStruct& e);
  void WriteText(const TarnStruct& e);
  void ReplacePieces(std::string_view text, std::string_view key);
  // No entry of the replacement list changes a piece of text: its pieces
  // can go out in one converting pass, as without a list. Inline: most
  // documents have no list and ask this on every line.
  bool LeavesEach(std::string_view text, char key) { return replacer_.empty() || replacer_.LeavesEach(text, key); }
  bool SourceBlock(std::size_t& i);
  void SwitchRules(const TarnStruct& e);
  void FillMarker(CStr& frame, std::string_view digits, std::string_view with, Msg too_long);
  void Include(const TarnStruct& e);
  void SetTabString();
  void Cell(std::string_view legacy, std::string_view html5_open);
  void Image(const TarnStruct& e);
  void ReportError(Msg msg, std::string_view arg);

  Diagnostics& report_;
  ProgressSink& progress_;
  const ElementList& elements_;
  const ArgPool& args_;
  int lines_read_;
  DocumentIO& io_;
  const RuleSource& rules_;
  std::string output_folder_;
  const SplitKeys* split_keys_ = nullptr;
  ElementFeed* feed_ = nullptr;
  std::function<bool()> idle_;
  bool stop_when_late_ = false;
  std::size_t available_ = 0;  // elements known to be final
  // Whether element i exists, waiting for pass 1 to hand it over if need be.
  bool WaitFor(std::size_t i);
  void SpillIfFull();
  Spill spill_;
  std::size_t spill_at_ = 0;
  bool spill_failed_ = false;

  std::string body_;
  CStr header_, footer_, title_;
  std::size_t max_frame_ = kMaxFrameBytes;
  TagState tags_;
  bool force_html5_ = false;
  Profile profile_ = kHtml401;
  CStr lang_;
  std::string style_;               // HTML5: the style block, from the first rules' colours
  ListingColours style_colours_;    // the colours the style block's classes have
  int comment_depth_ = 0;
  bool conv_ = true;
  bool autobr_ = true;
  bool src_line_out_ = true;
  bool header_cell_ = false;
  bool suppress_break_ = true;
  int tab_n_ = kDefaultTabStop;
  std::string tab_string_;
  std::string join_raw_, join_escaped_;
  SourceColours colours_;
  CStr slots_[kReplaceSlots];
  AutoReplacer replacer_;
  CppKeywordSet keywords_;
  std::string block_text_;  // a listing's joined lines when they are not one piece of the source
  bool cancelled_ = false;
  std::size_t promoted_ = 0;  // element that took over a commented line start
  std::vector<LineMark>* marks_ = nullptr;
  void MarkLine() {
    if (marks_) marks_->push_back({report_.line_number, body_.size()});
  }
};

}  // namespace norvelle
