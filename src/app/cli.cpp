#include "app/cli.h"

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

// The value of an option given as "--name=V", "--name V", "-xV" or "-x V";
// false when the word is not that option. A missing value is a usage error.
bool OptionValue(const std::vector<std::string>& args, std::size_t& i, std::string_view shrt,
                 std::string_view lng, std::string& value, std::string& error) {
  std::string_view a = args[i];
  if (a == shrt || a == lng) {
    if (i + 1 >= args.size()) {
      error = "option '" + std::string(a) + "' needs an argument";
      return true;
    }
    value = args[++i];
    return true;
  }
  if (a.size() > lng.size() && a.substr(0, lng.size()) == lng && a[lng.size()] == '=') {
    value = a.substr(lng.size() + 1);
    return true;
  }
  if (a.size() > shrt.size() && a.substr(0, shrt.size()) == shrt) {
    value = a.substr(shrt.size());
    return true;
  }
  return false;
}

bool EncodingNamed(std::string name, DocEncoding& e) {
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  if (name == "cp932" || name == "shift_jis" || name == "sjis") e = DocEncoding::kCp932;
  else if (name == "utf-8" || name == "utf8") e = DocEncoding::kUtf8;
  else return false;
  return true;
}

// A conversion option at args[i] (a value may take the next word) into cl;
// the usage error, if any. False when the word is no conversion option.
bool ConversionOption(const std::vector<std::string>& args, std::size_t& i, CommandLine& cl, std::string& error) {
  const std::string& a = args[i];
  std::string value;
  if (a == "--quiet" || a == "-q") {
    cl.quiet = true;
  } else if (a == "--strict") {
    cl.strict = true;
  } else if (a == "--watch" || a == "--watch=poll") {
    cl.watch = true;
    cl.watch_poll = a == "--watch=poll";
  } else if (a == "--preview" || a == "--write") {
    (a == "--preview" ? cl.preview : cl.preview_write) = true;
  } else if (a == "--deps" || a.rfind("--deps=", 0) == 0) {
    cl.deps = a == "--deps" ? DepsMode::kBeside : DepsMode::kNamed;
    cl.deps_file = a == "--deps" ? std::string() : a.substr(7);
    if (cl.deps == DepsMode::kNamed && cl.deps_file.empty()) error = "option '--deps=' needs a file name";
  } else if (OptionValue(args, i, "-e", "--encoding", value, error)) {
    if (error.empty() && !EncodingNamed(value, cl.encoding))
      error = "unknown encoding '" + value + "' (cp932 or utf-8)";
  } else if (OptionValue(args, i, "-o", "--output", value, error)) {
    if (error.empty() && value.empty()) error = "option '-o' needs a file name";
    cl.output = value;
  } else {
    return false;
  }
  return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  bool batch = false, options = true, set = false;
  auto usage = [&cl](std::string error) {
    cl.mode = Mode::kUsageError;
    cl.error = std::move(error);
    return cl;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string error;
    if (!options || a == "-" || a.empty() || a[0] != '-') {
      cl.words.push_back(a);
    } else if (a == "--") {
      options = false;
    } else if (a == "--batch") {
      batch = true;
    } else if (a == "--help" || a == "-h" || a == "--version" || a == "-V") {
      cl.mode = a == "--help" || a == "-h" ? Mode::kHelp : Mode::kVersion;
      return cl;
    } else if (ConversionOption(args, i, cl, error)) {
      if (!error.empty()) return usage(error);
      set = true;
    } else {
      return usage("unknown option '" + a + "'");
    }
  }
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
  // A pipe is no job for a window.
  const bool streams = cl.output == "-" || (cl.words.size() == 1 && cl.words[0] == "-");
  // Watching lives in the terminal that started it.
  cl.mode = (batch || streams || cl.watch || !HasDisplay()) ? Mode::kConvertBatch : Mode::kConvertDialog;
  return cl;
}

bool JobOf(const CommandLine& cl, Job& job, std::string& error) {
  job.encoding = cl.encoding;
  job.output = cl.output;
  job.inputs = InputsOf(cl.words);
  job.deps = cl.deps;
  job.deps_file = cl.deps_file;
  job.strict = cl.strict;
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

const char* HelpText() {
  return "Usage: norvelle [OPTION]... [--] FILE...\n"
         "       norvelle\n"
         "\n"
         "Converts a text file with markup commands to HTML (FILE.htm beside it).\n"
         "Without FILE, opens the settings dialog for rule files.\n"
         "\n"
         "Options:\n"
         "  -e, --encoding=ENC  the document's encoding: cp932 (Shift_JIS, the default)\n"
         "                      or utf-8; the HTML is written in the same encoding\n"
         "  -o, --output=FILE   write the HTML to FILE (one input only); '-o -' writes\n"
         "                      it to standard output\n"
         "  -q, --quiet         no progress line\n"
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
         "      --batch         convert without any window; errors on standard error\n"
         "  -h, --help          show this help and exit\n"
         "  -V, --version       show the version and exit\n"
         "  --                  end of options (for file names beginning with \"-\")\n"
         "\n"
         "Files:\n"
         "  FILE '-' reads standard input; the HTML then goes to standard output unless\n"
         "  -o names a file, and its title is that file's name without extension\n"
         "  (\"stdin\" when it goes to standard output).\n"
         "  Several words are joined by single blanks into one path, unless each word\n"
         "  names an existing file and the joined text names none: then each file is\n"
         "  converted in turn, every report line starts with its file's name, and the\n"
         "  exit status is the worst of the runs (cancel stops the rest).\n"
         "  Any file name works, also one that Shift_JIS cannot spell (café.txt,\n"
         "  한국어.txt); in a Shift_JIS page's title such characters are written\n"
         "  as HTML character references (&#233;).\n"
         "\n"
         "UTF-8 documents (--encoding=utf-8):\n"
         "  A byte order mark is dropped, charset=Shift_JIS in the header becomes\n"
         "  charset=UTF-8, and characters Shift_JIS lacks come out as they went in.\n"
         "  Invalid UTF-8 is reported with its line number and shown as U+FFFD.\n"
         "  Rule files stay Shift_JIS. Reading a UTF-8 file without the option\n"
         "  converts it as Shift_JIS and prints a hint in batch mode.\n"
         "\n"
         "Rule files:\n"
         "  |ini|NAME loads NAME.qdx from the rules folder beside the program and,\n"
         "  when it is not there, from a qdx/ folder beside the document.\n"
         "\n"
         "Examples:\n"
         "  norvelle --batch page.txt          page.htm beside page.txt\n"
         "  norvelle -e utf-8 notes/*.txt      every file, UTF-8 in and out\n"
         "  cat page.txt | norvelle -e utf-8 - > page.htm\n"
         "\n"
         "Exit status: 0 converted, 1 converted with errors reported,\n"
         "             2 nothing written (fatal error or bad usage), 130 cancelled.\n";
}

int RunBatch(const Job& job, bool quiet) {
  TerminalHost::InstallSignalHandlers();
  TerminalHost host(stderr, !quiet && isatty(fileno(stderr)) != 0);
  // The terminal needs no progress of pass 1: it may run beside pass 2.
  Job concurrent = job;
  concurrent.concurrent_passes = true;
  return ExitStatusOf(
      RunJob(host, concurrent, [&host](NoteKind, const std::string& line) { host.Note(line); }));
}

}  // namespace norvelle
