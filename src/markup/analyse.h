// Pass 1: command analysis of the source, one line at a time.
//
// Recognises command lines ("|words|text"), cuts line text into elements at
// the split key, looks command words up, checks where they may stand and
// attaches them to elements (by element number, to the first element, or to
// every element). Tables and C++ listings take their own branches here.
// Mistakes in the document are error-report lines; analysis goes on.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/str.h"
#include "markup/element.h"
#include "report/diagnostics.h"
#include "pattern/regex.h"
#include "text/split.h"

namespace norvelle {

// What a source line is, decided before anything is stored.
enum class LineKind {
  kPlain,          // no commands: the text cut at the split key
  kSourceLine,     // a line inside a listing
  kSetSplit,       // |setsplit|KEY: a new split key
  kBase,           // |base|WORDS: commands in front of every later line's own
  kTable,          // |table=ATTRS|cells: the first row of a table
  kEndTable,       // |endtable|
  kSourceStart,    // |cppsrc|
  kSourceEnd,      // |endcppsrc|
  kSourceCommand,  // a command line inside a listing: a listing line, commands not run
  kAlone,          // a command that must stand alone: one control element
  kCommands,       // commands attached to the line's elements
};

// A line longer than an element may hold (kMaxElementBytes, or a lower limit
// of a test): the run fails with nothing written rather than cut the line
// short. `line` is its line number.
struct LineTooLong {
  int line;
};

class LineAnalyser {
 public:
  LineAnalyser(ElementList& elements, ArgPool& args, TextArena& arena,
               Diagnostics& report, std::string split_key);

  // One source line, its line feed removed, no longer than the line limit
  // (the run refuses longer ones first). The text must stay alive for the
  // run. Throws LineTooLong when the line with a base's text joined to it,
  // as some bases are analysed, is longer than the limit.
  void Analyse(std::string_view line);
  // After the last line: pending extras in, then the sentinel element.
  void Finish();

  const std::string& split_key() const { return split_key_; }
  // A line longer than `limit` bytes is matched against the command-line
  // pattern on its first `window` bytes only (the pattern engine takes at
  // most kMaxSubjectLength); its text runs on to the line's end. For tests.
  void SetLongLineLimits(std::size_t limit, std::size_t window) {
    long_line_ = limit;
    window_ = window;
  }
  // The line limit: at most kMaxElementBytes (the default); lower for tests.
  void set_max_line_bytes(std::size_t n) { max_line_ = n < kMaxElementBytes ? n : kMaxElementBytes; }

  // Plain lines as one kPackedLine element each, whose `args` is the index of
  // its split key in split_keys(); the writer cuts it into the pieces this
  // analysis would have stored (ElementWriter::set_split_keys). A long
  // document then keeps one element per line instead of one per word.
  void set_pack_plain_lines(bool on) { pack_ = on; }
  const SplitKeys& split_keys() const { return split_keys_; }
  // Elements before this position no longer change (a later line may still
  // mark the last line's first element).
  std::size_t settled() const { return last_line_start_; }

 private:
  bool MatchCommandLine(std::string_view line);
  LineKind Classify(bool command, int code) const;
  void SetBase(std::string_view text);
  void CommandElements(std::string_view line, bool command);
  bool RematchWithBase(std::string_view line, bool command);
  void PlainElements(std::string_view text);
  void PlainLine(std::string_view text);
  TarnStruct& LineElement(std::string_view text);
  void ControlElement(std::string_view text);
  void TableLine(std::string_view word, std::string_view cells);
  void EndTable();
  void ApplyWord(std::string_view word);
  void ApplyNumbered(std::string_view word);
  void Store(std::size_t k, int code, std::string_view word);
  void StoreExtra(std::size_t k, int code, std::string_view arg);
  void Prev(std::size_t k);
  void FlushLine();
  void Error(Msg msg, std::string_view word);

  ElementList& elements_;
  ArgPool& args_;
  TextArena& arena_;
  Diagnostics& report_;

  std::string split_key_;
  std::size_t long_line_ = kMaxSubjectLength;
  std::size_t window_ = std::size_t(1) << 30;  // command words longer than this are text
  std::size_t max_line_ = kMaxElementBytes;
  std::string saved_split_;
  std::vector<std::string_view> base_words_;  // empty: no base
  std::string base_joined_;                   // "|" and the base text
  bool base_rematch_ = false;                 // the base text cannot be merged as words
  bool in_source_ = false;
  int table_nesting_ = 0;
  bool pack_ = false;
  SplitKeys split_keys_;  // of packed lines, each new key once in a row

  CStrRegexStruct command_pattern_;
  CStrHitList hits_;
  std::vector<std::string_view> words_;  // the command words of the line
  std::string_view text_;                // the line's text after the commands
  std::string scratch_;

  std::vector<TarnStruct> line_;  // elements of the current line
  // The last attribute stored on every element of the line, per code.
  struct WideAttr {
    std::uint64_t line = 0;
    std::string_view arg;
  };
  WideAttr wide_[kCodeCount];
  std::uint64_t line_serial_ = 0;
  // Extra elements per element number of the current line (sized on the
  // line's first extra).
  std::vector<std::vector<TarnStruct>> extras_;
  // Position in elements_ of the first element of the last line moved in;
  // 0 (the placeholder) while there is none.
  std::size_t last_line_start_ = 0;
};

}  // namespace norvelle
