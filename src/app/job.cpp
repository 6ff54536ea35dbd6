#include "app/job.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "app/depfile.h"
#include "app/exit_status.h"
#include "text/dbcs.h"
#include "io/document_io.h"
#include "report/messages.h"
#include "io/source_path.h"
#include "platform/carry.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/probe.h"
#include "platform/whole_file.h"
#include "text/scan.h"

namespace norvelle {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The host of one file of a job: counts that file's errors and, among
// several files, starts each report line with the file's name.
class FileHost : public ConversionHost {
 public:
  // gnu: lines as "NAME:LINE: message" (NAME: the prefix without its ": ").
  FileHost(ConversionHost& inner, std::string prefix, bool captions, bool gnu)
      : inner_(inner), prefix_(std::move(prefix)), captions_(captions), gnu_(gnu) {}
  void SetStatus(std::string_view text) override { inner_.SetStatus(text); }
  void AddError(std::string_view line) override {
    ++errors_;
    inner_.AddError(gnu_ ? GnuLine(line) : prefix_.empty() ? std::string(line) : prefix_ + std::string(line));
  }
  int ErrorCount() const override { return errors_; }
  void SetButtonCaption(std::string_view text) override {
    if (captions_) inner_.SetButtonCaption(text);
  }
  void SetProgressRange(int max) override { inner_.SetProgressRange(max); }
  void SetProgressPos(int pos) override { inner_.SetProgressPos(pos); }
  bool Pump() override { return inner_.Pump(); }

 private:
  // "[12]：text" -> "NAME:12: text"; a line with no number -> "NAME: text".
  std::string GnuLine(std::string_view line) const {
    const std::string name = prefix_.substr(0, prefix_.size() - 2);
    constexpr std::string_view kColon = "\x81\x46";  // the full-width colon after the number
    int number = 0;
    std::string_view rest;
    if (!SplitNumberedLine(line, number, rest)) return name + ": " + std::string(line);
    if (rest.substr(0, kColon.size()) == kColon) rest.remove_prefix(kColon.size());
    return name + ":" + std::to_string(number) + ": " + std::string(rest);
  }

  ConversionHost& inner_;
  std::string prefix_;
  bool captions_, gnu_;
  int errors_ = 0;
};

// UTF-8 text into the run's CP932, one report line per line that held
// invalid UTF-8 or met the end of the carry codes.
void DecodeUtf8Document(ConversionHost& host, std::string& text) {
  std::string_view in(text);
  if (in.substr(0, kBom.size()) == kBom) in.remove_prefix(kBom.size());
  std::string out, piece;
  out.reserve(in.size());
  int line = 0;
  for (std::size_t start = 0; start < in.size();) {
    std::size_t lf = in.find('\n', start);
    std::size_t end = lf == std::string_view::npos ? in.size() : lf;
    ++line;
    CharCarry::Stats st = ProcessCarry().TextToCp932(in.substr(start, end - start), piece);
    out += piece;
    if (lf != std::string_view::npos) out += '\n';
    for (Msg m : {Msg::kInvalidUtf8, Msg::kTooManyCarried}) {
      if ((m == Msg::kInvalidUtf8 ? st.invalid : st.overflow) == 0) continue;
      Report(host, m, line);
    }
    start = end + 1;
  }
  text = std::move(out);
}

// "charset=Shift_JIS" in any letter case becomes "charset=UTF-8", and so
// does the quoted form of an HTML5 header, charset="Shift_JIS".
void CharsetToUtf8(std::string& header) {
  for (std::string_view from : {std::string_view("charset=shift_jis"), std::string_view("charset=\"shift_jis")}) {
    for (std::size_t i = 0; i + from.size() <= header.size(); ++i) {
      bool same = true;
      for (std::size_t k = 0; k < from.size() && same; ++k) {
        char c = header[i + k];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        same = c == from[k];
      }
      if (same) header.replace(i, from.size(), from[8] == '"' ? "charset=\"UTF-8" : "charset=UTF-8");
    }
  }
}

RunOutcome Worse(RunOutcome a, RunOutcome b) { return ExitStatusOf(b) > ExitStatusOf(a) ? b : a; }

struct Problem {
  std::string path;  // as the user knows it (UTF-8)
  int err = -1;      // errno; -1 when nothing was recorded, 0 when the system gave none
  const char* what = "";  // said when the system gave no reason
};

// The UTF-8 hint looks at the start of a document only: a file written as
// UTF-8 shows it at once, and the hint then costs nothing on a long one.
constexpr std::size_t kHintBytes = std::size_t(64) << 10;

// The job's reads: the source from a file or standard input, a UTF-8
// document and its included files into the run's CP932, and why a source
// could not be read. Standard input is no file to record.
class JobIO : public DocumentIO {
 public:
  // preread: the source as already read (-e auto), or null.
  JobIO(FileHost& host, const std::string& shown_source, bool from_stdin, bool utf8, Problem& problem,
        std::string* preread)
      : host_(host), shown_source_(shown_source), from_stdin_(from_stdin), utf8_(utf8), problem_(problem),
        preread_(preread) {}
  bool hint() const { return hint_; }

 protected:
  bool ReadFile(FileRole role, const std::string& path, std::string& text) override {
    if (role == FileRole::kSource) return ReadSource(path, text);
    if (role == FileRole::kRules) return ReadRules(path, text);
    if (role == FileRole::kInclude && utf8_) return ReadUtf8(path, text);
    return DocumentIO::ReadFile(role, path, text);
  }
  bool Recorded(FileRole role) const override { return role != FileRole::kSource || !from_stdin_; }

 private:
  bool ReadSource(const std::string& source, std::string& text) {
    const std::string path = from_stdin_ ? std::string("/dev/stdin") : source;
    if (preread_) {
      text = std::move(*preread_);
      preread_ = nullptr;
    } else if (!(from_stdin_ ? ReadTextStandardInput(text) : ReadTextFile(path, text))) {
      const std::string native = NameToNative(path);
      problem_ = {shown_source_, ReadProblem(native),
                  PathExists(native) && !IsRegularFile(native) ? "not a regular file" : "cannot be read"};
      return false;
    }
    if (utf8_) DecodeUtf8Document(host_, text);
    else hint_ = LooksLikeUtf8(std::string_view(text).substr(0, kHintBytes));
    return true;
  }
  // A rule file that begins with a UTF-8 byte order mark is UTF-8; in a
  // Shift_JIS page the characters Shift_JIS lacks become references.
  bool ReadRules(const std::string& path, std::string& text) {
    if (!DocumentIO::ReadFile(FileRole::kRules, path, text)) return false;
    if (!text.starts_with(kUtf8Mark)) return true;
    std::string cp;
    ProcessCarry().TextToCp932(std::string_view(text).substr(kUtf8Mark.size()), cp);
    if (!utf8_) CarriedAsReferences(cp);
    text = std::move(cp);
    return true;
  }
  // An included file is copied as it is, so in a UTF-8 page it is UTF-8 too:
  // it enters the run as CP932 like the document and leaves with it.
  static bool ReadUtf8(const std::string& path, std::string& text) {
    if (!ReadTextFile(path, text)) return false;
    std::string_view in(text);
    if (in.substr(0, kBom.size()) == kBom) in.remove_prefix(kBom.size());
    std::string cp;
    ProcessCarry().TextToCp932(in, cp);
    text = std::move(cp);
    return true;
  }

  FileHost& host_;
  const std::string& shown_source_;
  bool from_stdin_, utf8_;
  Problem& problem_;
  std::string* preread_;
  bool hint_ = false;
};

// Header, body and footer at once: UTF-8 pages, standard output, and pages
// whose frame changes while pass 2 runs.
// Strict: a run that reported an error leaves the old page (held_back).
// utf8: the page is written as UTF-8.
void SetWholeWrite(RunHooks& hooks, const Job& job, bool to_stdout, bool utf8, Problem& problem,
                   const Diagnostics& report, bool& held_back) {
  hooks.write = [&job, to_stdout, utf8, &problem, &report, &held_back](
                    const std::string& output, const std::vector<std::string_view>& pieces) {
    if (job.strict && report.ErrorCount() > 0) return held_back = true;
    std::vector<std::string> encoded;
    std::vector<std::string_view> views = pieces;
    if (utf8) {
      std::string header(pieces[0]);
      CharsetToUtf8(header);
      encoded.resize(pieces.size());
      for (std::size_t i = 0; i < pieces.size(); ++i)
        ProcessCarry().ToUtf8(i == 0 ? std::string_view(header) : pieces[i], encoded[i], false);
      views.assign(encoded.begin(), encoded.end());
    }
    if (to_stdout) {
      int err = 0;
      if (WriteTextStream(1, views, err)) return true;
      problem = {"standard output", err, "cannot be written"};
      return false;
    }
    const std::error_code why = WriteText(output, views);
    if (why) problem = {job.output.empty() ? NameToNative(output) : job.output, why.value(), "cannot be written"};
    return !why;
  };
}

// A CP932 page in a file goes out as it is made (when the run can stream).
// The reason is that of the first write that failed, whichever thread made
// it; a run that gave up (cancelled, or its frame changed late) is none.
void SetStreamedWrite(RunHooks& hooks, const Job& job, Problem& problem) {
  hooks.write_stream = [&job, &problem](const std::string& output, const TextProducer& produce) {
    const std::error_code why = WriteTextFrom(output, produce);
    if (why && why != std::errc::operation_canceled)
      problem = {job.output.empty() ? NameToNative(output) : job.output, why.value(), "cannot be written"};
    return !why;
  };
}

// Why a run failed, for the line of our own after its report line.
std::string FailureReason(Msg fatal, const Problem& problem, const std::string& shown_source) {
  // Memory first: a file problem noted before it may belong to an attempt the run gave up.
  if (fatal == Msg::kOutOfMemory) return shown_source + ": " + SystemReason(ENOMEM);
  if (fatal == Msg::kLineTooLong)
    return shown_source + ": a line is longer than " + std::to_string(kMaxElementBytes) + " bytes";
  if (problem.err > 0) return problem.path + ": " + SystemReason(problem.err);
  if (problem.err == 0) return problem.path + ": " + problem.what;
  switch (fatal) {
    case Msg::kSourceEmpty: return shown_source + ": the file is empty";
    case Msg::kSameName: return shown_source + ": the output would have the same name as the source";
    default: return shown_source + ": internal error";
  }
}

// The page as the user would name it: -o's name, or the source's with its
// extension replaced (blanks and dots at the end dropped, as the run does).
std::string PageName(const Job& job, const std::string& input, bool to_stdout) {
  if (to_stdout) return "-";
  if (!job.output.empty()) return job.output;
  std::string page = input;
  const std::size_t keep = page.find_last_not_of(" .");
  page.resize(keep == std::string::npos ? 0 : keep + 1);
  const std::size_t slash = page.rfind('/'), dot = page.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) page.resize(dot);
  return page + ".htm";
}

// The dependency file of a run, written whole; false (with a line of our
// own) when it cannot be. A page on standard output is named by the file's
// stem ("page.htm" for "page.htm.d"), or "-".
bool WriteDeps(const Job& job, const RunRecord& rec, const NoteSink& note) {
  const bool named = job.deps == DepsMode::kNamed;
  const std::string path = named ? job.deps_file : rec.page + ".d";
  std::string target = rec.page;
  if (target == "-" && path.size() > 2 && path.compare(path.size() - 2, 2, ".d") == 0)
    target = path.substr(0, path.size() - 2);
  std::string text, bad;
  if (!DepfileText(target, PrerequisitesOf(rec.reads, CurrentFolder(), {rec.page, path}), text, bad)) {
    note(NoteKind::kReason, "norvelle: " + path + ": a dependency file cannot hold the name " + bad);
    return false;
  }
  int err = 0;
  if (PutWholeFile(path, text, err)) return true;
  note(NoteKind::kReason, "norvelle: " + path + ": " + SystemReason(err));
  return false;
}

// -v: the rule files a run read and the page it wrote.
std::string VerboseLine(const RunRecord& r, bool written) {
  std::string rules;
  for (const FileRead& f : r.reads)
    if (f.role == FileRole::kRules && f.found) rules += (rules.empty() ? "" : ", ") + f.path;
  return "norvelle: " + r.input + " -> " + (written ? r.page : std::string("nothing written")) +
         " (rules: " + (rules.empty() ? std::string("none, every setting its default") : rules) + ")";
}

// Is the document UTF-8 (-e auto)? A byte order mark, or valid UTF-8 that
// holds a byte above 0x7F.
bool IsUtf8Document(std::string_view text) {
  if (text.substr(0, kBom.size()) == kBom) return true;
  return std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; }) && IsValidUtf8(text);
}

RunOutcome RunOne(FileHost& host, const Job& job, const std::string& input, const NoteSink& note) {
  const bool from_stdin = input == "-";
  const bool to_stdout = job.output == "-" || (from_stdin && job.output.empty());
  std::string preread;
  const bool have_preread = job.encoding == DocEncoding::kAuto &&
                            (from_stdin ? ReadTextStandardInput(preread) : ReadTextFile(NameFromNative(input), preread));
  const bool utf8 = job.encoding == DocEncoding::kUtf8 || (have_preread && IsUtf8Document(preread));
  const std::string shown_source = from_stdin ? "standard input" : input;
  Problem problem;
  JobIO io(host, shown_source, from_stdin, utf8, problem, have_preread ? &preread : nullptr);

  RunHooks hooks;
  hooks.io = &io;
  // Absolute, so that every list of the files read names it alike.
  if (!job.rules.empty() && !FullPath(NameFromNative(job.rules), hooks.default_rules))
    hooks.default_rules = NameFromNative(job.rules);
  hooks.stream_source = from_stdin;
  hooks.concurrent_passes = job.concurrent_passes;
  hooks.html5 = job.html5;
  if (to_stdout) {
    hooks.output = "-";  // never the source's name: the source path is absolute
  } else if (!job.output.empty()) {
    if (!FullPath(NameFromNative(job.output), hooks.output)) hooks.output = NameFromNative(job.output);
  }
  if (from_stdin) hooks.title_text = to_stdout ? "stdin" : DefaultTitle(hooks.output);
  bool held_back = false;
  SetWholeWrite(hooks, job, to_stdout, utf8, problem, host, held_back);
  // Strict needs the whole page before it may write it.
  if (!utf8 && !to_stdout && !job.strict) SetStreamedWrite(hooks, job, problem);
  if (!utf8) hooks.title = CarriedAsReferences;

  Msg fatal = Msg::kInternalError;
  hooks.fatal = &fatal;
  RunRecord record{input, ConvertWith(host, from_stdin ? "-" : NameFromNative(input), hooks), 0, io.reads(),
                   PageName(job, input, to_stdout), held_back};
  // Without the last line, which counts the others.
  record.errors = host.ErrorCount() - (record.outcome == RunOutcome::kDoneErrors ? 1 : 0);
  if (record.outcome == RunOutcome::kFailed)
    note(NoteKind::kReason, "norvelle: " + FailureReason(fatal, problem, shown_source));
  if (io.hint()) note(NoteKind::kHint, "norvelle: " + input + " looks like UTF-8 text; convert it with --encoding=utf-8");
  if (held_back) note(NoteKind::kReason, "norvelle: " + shown_source + ": not written: errors reported (--strict)");
  if (job.verbose)
    note(NoteKind::kVerbose, VerboseLine(record, !held_back && (record.outcome == RunOutcome::kDone ||
                                                                 record.outcome == RunOutcome::kDoneErrors)));
  if (job.deps != DepsMode::kNone && record.outcome != RunOutcome::kCancelled && !WriteDeps(job, record, note))
    record.outcome = RunOutcome::kFailed;
  if (job.on_run) job.on_run(record);
  return record.outcome;
}

}  // namespace

std::vector<std::string> InputsOf(const std::vector<std::string>& words) {
  std::string joined;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i) joined += ' ';
    joined += words[i];
  }
  if (words.size() < 2) return {joined};
  // Words whose joined text names a file stay one path; so do words none of
  // which names a file (a name with blanks that is not there).
  if (PathExists(NameToNative(CleanPath(NameFromNative(joined))))) return {joined};
  if (std::none_of(words.begin(), words.end(), [](const std::string& w) { return IsRegularFile(w); }))
    return {joined};
  return words;
}

namespace {

// The pages a job wrote beside their sources, so that a later input whose
// page would be the same file (a.txt and a.TXT) cannot replace one. The same
// source named twice makes the same page again: that replaces nothing.
class WrittenPages {
 public:
  // The earlier input whose page this input would replace, or null.
  const std::string* Taken(const std::string& input) const {
    const std::string source = CleanPath(NameFromNative(input));
    const std::string out = OutputPathFor(source);
    for (const Page& p : pages_)
      if ((p.page == out || IsSameFilePath(p.page, out)) && !IsSameFilePath(p.source, source)) return &p.input;
    return nullptr;
  }
  void Add(const std::string& input) {
    const std::string source = CleanPath(NameFromNative(input));
    pages_.push_back({OutputPathFor(source), source, input});
  }

 private:
  struct Page {
    std::string page, source;  // CP932
    std::string input;         // as the user wrote it (UTF-8)
  };
  std::vector<Page> pages_;
};

}  // namespace

RunOutcome RunJob(ConversionHost& host, const Job& job, const NoteSink& note) {
  const bool several = job.inputs.size() > 1;
  RunOutcome worst = RunOutcome::kDone;
  WrittenPages pages;
  for (const std::string& input : job.inputs) {
    const bool beside = several && input != "-" && job.output.empty();
    if (const std::string* by = beside ? pages.Taken(input) : nullptr) {
      note(NoteKind::kReason, "norvelle: " + input + ": not converted: its page would replace that of " + *by);
      worst = Worse(worst, RunOutcome::kFailed);
      continue;
    }
    const bool named = several || job.name_reports || job.gnu_diagnostics;
    FileHost file(host, named ? NameFromNative(input) + ": " : std::string(), !several, job.gnu_diagnostics);
    const RunOutcome r = RunOne(file, job, input, note);
    worst = Worse(worst, r);
    if (r == RunOutcome::kCancelled) return r;
    if (beside && (r == RunOutcome::kDone || r == RunOutcome::kDoneErrors)) pages.Add(input);
  }
  if (several && worst != RunOutcome::kDone) {
    host.SetStatus(Message(worst == RunOutcome::kFailed ? Msg::kStatusFailed : Msg::kStatusDoneErrors));
    host.SetButtonCaption(Message(Msg::kCaptionClose));
  } else if (several) {
    host.SetStatus(Message(Msg::kStatusDone));
  }
  return worst;
}

bool LooksLikeUtf8(std::string_view text) {
  if (text.substr(0, kBom.size()) == kBom) return true;
  // Per line: whether it has a byte above 0x7F, and whether it is valid UTF-8
  // from the first such byte on (the ASCII before it always is).
  std::size_t high = 0, valid = 0;
  const char* p = text.data();
  const char* e = p + text.size();
  while (p < e) {
    p += Scan::FindHighOr(p, e, '\n');
    if (p == e) break;
    if (*p == '\n') {
      ++p;
      continue;
    }
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(e - p)));
    const char* end = lf ? lf : e;
    ++high;
    if (IsValidUtf8(std::string_view(p, std::size_t(end - p)))) ++valid;
    p = lf ? lf + 1 : e;
  }
  return high > 0 && 2 * valid > high;
}

void CarriedAsReferences(std::string& text) {
  std::string out;
  const char* b = text.data();
  const char* e = b + text.size();
  for (const char* p = b; p < e;) {
    const std::size_t n = CharLen(p, e);
    char32_t c = n == 2 ? ProcessCarry().CarriedAt(static_cast<unsigned char>(p[0]),
                                                  static_cast<unsigned char>(p[1]))
                        : 0;
    if (c) {
      if (CharCarry::IsRawByte(c)) c = CharCarry::kReplacement;
      out += "&#" + std::to_string(std::uint32_t(c)) + ";";
    } else {
      out.append(p, n);
    }
    p += n;
  }
  text = std::move(out);
}

}  // namespace norvelle
