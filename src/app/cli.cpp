#include "app/cli.h"

#include <getopt.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/terminal_host.h"
#include "report/messages.h"
#include "convert/run.h"
#include "platform/carry.h"

namespace norvelle {

namespace {

bool EncodingNamed(std::string name, DocEncoding& e) {
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  if (name == "cp932" || name == "shift_jis" || name == "sjis") e = DocEncoding::kCp932;
  else if (name == "utf-8" || name == "utf8") e = DocEncoding::kUtf8;
  else if (name == "auto") e = DocEncoding::kAuto;
  else return false;
  return true;
}

// Long options without a short form.
enum : int { kBatch = 256, kDeps, kStrict, kWatch, kWindow, kRules, kDiagnostics, kPreview, kWrite, kHtml5 };

constexpr option kLongOptions[] = {
    {"batch", no_argument, nullptr, kBatch},
    {"encoding", required_argument, nullptr, 'e'},
    {"output", required_argument, nullptr, 'o'},
    {"quiet", no_argument, nullptr, 'q'},
    {"verbose", no_argument, nullptr, 'v'},
    {"deps", optional_argument, nullptr, kDeps},
    {"strict", no_argument, nullptr, kStrict},
    {"html5", no_argument, nullptr, kHtml5},
    {"watch", optional_argument, nullptr, kWatch},
    {"window", no_argument, nullptr, kWindow},
    {"rules", required_argument, nullptr, kRules},
    {"diagnostics", required_argument, nullptr, kDiagnostics},
    {"preview", no_argument, nullptr, kPreview},
    {"write", no_argument, nullptr, kWrite},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
// ':' first: a missing value is told apart from an unknown option.
constexpr const char* kShortOptions = ":e:o:qvhV";

// The long options whose name starts with `prefix`, as "--a, --b".
std::string LongOptionsFrom(std::string_view prefix, int& count, int& val) {
  std::string matches;
  count = 0;
  for (const option* o = kLongOptions; o->name; ++o) {
    if (!std::string_view(o->name).starts_with(prefix)) continue;
    matches += std::string(count++ ? ", " : "") + "--" + o->name;
    val = o->val;
  }
  return matches;
}

// What getopt_long refused, as one line: `word` is the last word it took,
// `letter` the short option it names (0 for a long one).
std::string Refusal(int got, int letter, const std::string& word) {
  const std::string name = word.substr(0, word.find('='));
  int count = 0, val = 0;
  const std::string matches = name.rfind("--", 0) == 0 ? LongOptionsFrom(name.substr(2), count, val) : "";
  // A short letter after a long word: the error is the letter's, inside a bundle.
  const bool long_form = !matches.empty() ? (letter <= 0 || letter > 255 || val == letter)
                                          : name.rfind("--", 0) == 0 && (letter <= 0 || letter > 255);
  const std::string shown = long_form ? name : std::string("-") + char(letter);
  if (got == ':') return "option '" + shown + "' needs an argument";
  if (long_form && count > 1) return "option '" + shown + "' is ambiguous (" + matches + ")";
  if (long_form && count == 1 && word.find('=') != std::string::npos) return "option '" + shown + "' takes no value";
  return "unknown option '" + shown + "'";
}

// One option getopt_long found, with its value, into cl; the usage error, if any.
std::string TakeOption(int id, const char* value, CommandLine& cl) {
  const std::string v = value ? value : "";
  switch (id) {
    case 'e': return EncodingNamed(v, cl.encoding) ? "" : "unknown encoding '" + v + "' (cp932, utf-8 or auto)";
    case 'o':
      cl.output = v;
      return v.empty() ? "option '-o' needs a file name" : "";
    case 'q': cl.quiet = true; return "";
    case 'v': cl.verbose = true; return "";
    case kStrict: cl.strict = true; return "";
    case kHtml5: cl.html5 = true; return "";
    case kWindow: cl.window = true; return "";
    case kPreview: cl.preview = true; return "";
    case kWrite: cl.preview_write = true; return "";
    case kRules:
      cl.rules = v;
      return v.empty() ? "option '--rules' needs a file name" : "";
    case kDiagnostics:
      cl.gnu_diagnostics = v == "gnu";
      return v == "gnu" || v == "plain" ? "" : "unknown diagnostics format '" + v + "' (plain or gnu)";
    case kDeps:
      cl.deps = value ? DepsMode::kNamed : DepsMode::kBeside;
      cl.deps_file = v;
      return value && v.empty() ? "option '--deps=' needs a file name" : "";
    case kWatch:
      cl.watch = true;
      cl.watch_poll = v == "poll";
      return value && v != "poll" ? "unknown watch method '" + v + "' (poll)" : "";
  }
  return "unknown option";
}

// The options into cl and the other words, in order, into cl.words; false
// with cl.error set on a usage error. Sets `batch`, `set` (any conversion
// option) and the mode for --help and --version.
bool ReadOptions(const std::vector<std::string>& args, CommandLine& cl, bool& batch, bool& set) {
  std::vector<std::string> words = args;
  std::vector<char*> argv;
  static char program[] = "norvelle";
  argv.push_back(program);
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  optind = 0;  // a fresh scan, also for a second command line
  opterr = 0;
  for (int id; (id = getopt_long(int(argv.size() - 1), argv.data(), kShortOptions, kLongOptions, nullptr)) != -1;) {
    if (id == '?' || id == ':') {
      cl.error = Refusal(id, optopt, argv[std::size_t(optind - 1)]);
      return false;
    }
    if (id == 'h' || id == 'V') {
      cl.mode = id == 'h' ? Mode::kHelp : Mode::kVersion;
      return true;
    }
    if (id == kBatch) {
      batch = true;
      continue;
    }
    set = true;
    cl.error = TakeOption(id, optarg, cl);
    if (!cl.error.empty()) return false;
  }
  for (std::size_t i = std::size_t(optind); i + 1 < argv.size(); ++i) cl.words.emplace_back(argv[i]);
  return true;
}

}  // namespace

bool TerminalAttached() { return isatty(STDERR_FILENO) != 0; }

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  bool batch = false, set = false;
  auto usage = [&cl](std::string error) {
    cl.mode = Mode::kUsageError;
    cl.error = std::move(error);
    return cl;
  };
  if (!ReadOptions(args, cl, batch, set)) return usage(cl.error);
  if (cl.mode == Mode::kHelp || cl.mode == Mode::kVersion) return cl;
  for (std::size_t i = 0; i < cl.words.size(); ++i) {
    if (i) cl.path += ' ';
    cl.path += cl.words[i];
  }
  // Blanks alone select the settings dialog, as an empty command line does.
  if (cl.path.find_first_not_of(" \t") == std::string::npos) {
    cl.path.clear();
    cl.words.clear();
    if (batch) return usage("--batch needs a file to convert");
    if (set) return usage("no file to convert");
    cl.mode = Mode::kSettings;
    return cl;
  }
  if (batch && cl.window) return usage("options '--batch' and '--window' exclude each other");
  if (cl.window && !HasDisplay()) return usage("option '--window' needs a display (DISPLAY or WAYLAND_DISPLAY)");
  // A pipe is no job for a window; watching lives in the terminal that
  // started it; a conversion typed in a terminal stays in it.
  const bool streams = cl.output == "-" || (cl.words.size() == 1 && cl.words[0] == "-");
  const bool in_terminal = batch || streams || cl.watch || !HasDisplay() || (!cl.window && TerminalAttached());
  cl.mode = in_terminal ? Mode::kConvertBatch : Mode::kConvertDialog;
  return cl;
}

namespace {

// What a preview cannot honour: it reads Shift_JIS documents, writes the
// page only beside the source, and follows saves itself.
std::string PreviewRefuses(const CommandLine& cl) {
  if (cl.encoding != DocEncoding::kCp932) return "'-e' other than cp932";
  if (!cl.output.empty()) return "'-o'";
  if (cl.deps != DepsMode::kNone) return "'--deps'";
  if (cl.strict) return "'--strict'";
  if (cl.watch) return "'--watch'";
  return "";
}

}  // namespace

bool JobOf(const CommandLine& cl, Job& job, std::string& error) {
  job.encoding = cl.encoding;
  job.output = cl.output;
  job.inputs = InputsOf(cl.words);
  job.deps = cl.deps;
  job.deps_file = cl.deps_file;
  job.strict = cl.strict;
  job.html5 = cl.html5;
  job.rules = cl.rules;
  job.gnu_diagnostics = cl.gnu_diagnostics;
  job.verbose = cl.verbose;
  const bool one = job.inputs.size() == 1;
  const bool to_stdout = job.output == "-" || (one && job.inputs[0] == "-" && job.output.empty());
  const bool stdin_named = std::find(job.inputs.begin(), job.inputs.end(), "-") != job.inputs.end();
  if (!one && !job.output.empty()) error = "option '-o' takes exactly one input file";
  else if (!one && cl.deps == DepsMode::kNamed) error = "option '--deps=FILE' takes exactly one input file";
  else if (to_stdout && cl.deps == DepsMode::kBeside)
    error = "option '--deps' needs a file name (--deps=FILE) when the page goes to standard output";
  else if (cl.watch && stdin_named) error = "option '--watch' cannot watch standard input";
  else if (cl.preview_write && !cl.preview) error = "option '--write' goes with --preview";
  else if (cl.preview && (!one || stdin_named)) error = "option '--preview' takes exactly one file";
  else if (cl.preview && !PreviewRefuses(cl).empty())
    error = "option '--preview' does not go with " + PreviewRefuses(cl);
  return error.empty();
}

std::string UsageLine(const std::string& error) {
  return "norvelle: " + error + " (Try 'norvelle --help')";
}

bool HasDisplay() {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

namespace {

constexpr const char kHelp[] =
         "Usage: norvelle [OPTION]... [--] FILE...\n"
         "       norvelle\n"
         "\n"
         "Converts a text file with markup commands to HTML (FILE.htm beside it).\n"
         "Without FILE, opens the settings dialog for rule files.\n"
         "Typed in a terminal, it converts in the terminal; started from the desktop\n"
         "(no terminal), or with --window, it shows a progress window. Without a\n"
         "display it always converts in the terminal.\n"
         "\n"
         "Options:\n"
         "  -e, --encoding=ENC  the document's encoding: cp932 (Shift_JIS, the default),\n"
         "                      utf-8, or auto (UTF-8 when the file has a byte order\n"
         "                      mark, or is valid UTF-8 with non-ASCII text); the HTML\n"
         "                      is written in the same encoding\n"
         "  -o, --output=FILE   write the HTML to FILE (one input only); '-o -' writes\n"
         "                      it to standard output\n"
         "      --rules=FILE    use FILE as the default rule file of this run\n"
         "  -q, --quiet         no progress line, no hints\n"
         "  -v, --verbose       one line per document: the rule files used, the page\n"
         "      --diagnostics=FORMAT  report lines as they are (plain, the default) or\n"
         "                      as FILE:LINE: message (gnu), for editors\n"
         "      --deps[=FILE]   also write a dependency file for make and ninja:\n"
         "                      PAGE.d beside each page, or FILE (one input only)\n"
         "      --strict        a page whose run reports an error is not written (the\n"
         "                      old one stays) and the exit status is 1\n"
         "      --watch[=poll]  convert, then convert a page again whenever a file it\n"
         "                      was made of changes (the document, included files,\n"
         "                      rule files) or a file it looked for appears; Ctrl-C ends\n"
         "                      it. =poll looks at the files every second instead of\n"
         "                      waiting for the system's word (for network file systems)\n"
         "      --preview [--write]  one file in a window, converted again at each save;\n"
         "                      written by its button, or at every run with --write\n"
         "      --html5         write an HTML5 page with CSS (<!DOCTYPE html>) instead of\n"
         "                      HTML 4.01 Transitional, whatever the rules' OutputProfile\n"
         "      --batch         convert without any window; errors on standard error\n"
         "      --window        show the progress window even from a terminal\n"
         "  -h, --help          show this help and exit\n"
         "  -V, --version       show the version and exit\n"
         "  --                  end of options (for file names beginning with \"-\")\n"
         "Short options may be bundled (-qv) and long ones shortened (--enc=utf-8).\n"
         "\n"
         "Files:\n"
         "  FILE '-' reads standard input; the HTML then goes to standard output unless\n"
         "  -o names a file, and its title is that file's name without extension\n"
         "  (\"stdin\" when it goes to standard output).\n"
         "  Several words are joined by single blanks into one path (my notes.txt),\n"
         "  unless the joined text names no file and a word names one: then each word\n"
         "  is converted in turn (a word that names no file fails with its reason),\n"
         "  every report line starts with its file's name, and the exit status is the\n"
         "  worst of the runs (cancel stops the rest).\n"
         "  Any file name works, also one that Shift_JIS cannot spell (café.txt,\n"
         "  한국어.txt); in a Shift_JIS page's title such characters are written\n"
         "  as HTML character references (&#233;).\n"
         "\n"
         "UTF-8 documents (--encoding=utf-8):\n"
         "  A byte order mark is dropped, charset=Shift_JIS in the header becomes\n"
         "  charset=UTF-8, and characters Shift_JIS lacks come out as they went in.\n"
         "  Invalid UTF-8 is reported with its line number and shown as U+FFFD.\n"
         "  Reading a UTF-8 file without the option converts it as Shift_JIS and\n"
         "  prints a hint in batch mode.\n"
         "\n"
         "Rule files:\n"
         "  |ini|NAME loads NAME.qdx from the rules folder beside the program and,\n"
         "  when it is not there, from a qdx/ folder beside the document. Rule files\n"
         "  are Shift_JIS; one that begins with a UTF-8 byte order mark is UTF-8.\n"
         "\n"
         "Examples:\n"
         "  norvelle page.txt                  page.htm beside page.txt\n"
         "  norvelle -e utf-8 notes/*.txt      every file, UTF-8 in and out\n"
         "  cat page.txt | norvelle -e utf-8 - > page.htm\n"
         "  norvelle --watch --deps site/*.txt\n"
         "\n"
         "Exit status: 0 converted, 1 converted with errors reported,\n"
         "             2 nothing written (fatal error or bad usage), 130 cancelled.\n";

}  // namespace

const char* HelpText() { return kHelp; }

int RunBatch(const Job& job, bool quiet) {
  TerminalHost::InstallSignalHandlers();
  TerminalHost host(stderr, !quiet && isatty(fileno(stderr)) != 0);
  // The terminal needs no progress of pass 1: it may run beside pass 2.
  Job concurrent = job;
  concurrent.concurrent_passes = true;
  return ExitStatusOf(
      RunJob(host, concurrent, [&host, quiet](NoteKind kind, const std::string& line) {
        if (!(quiet && kind == NoteKind::kHint)) host.Note(line);
      }));
}

}  // namespace norvelle
