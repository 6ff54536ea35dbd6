// A whole conversion from source bytes and rule-file bytes, in a private
// temporary folder that holds the program's default rule file, a named rule
// file "a" in its rules folder, a file "inc" to include, the source and the
// output. A source that could name a file outside the folder ("/", a "\"
// between characters, "..") is skipped, so include= and |ini| stay inside.
//
// Input: two bytes (little-endian) give the rule file's length, then the
// rule file, then the source. Before that run, the source's lines as text
// only (under the default rules) must come out with no markup but the
// program's own, as a browser's decoder reads the bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "text/dbcs.h"
#include "report/host.h"
#include "convert/run.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/browser_decode.h"
#include "support/recording_host.h"

namespace {

using namespace norvelle;

// Report lines are only counted: converting each would cost more than the run.
using QuietHost = test::RecordingHost;

// Never destroyed: the cleanup at exit still needs it.
const std::string& Folder() {
  static const std::string& folder = *new std::string([] {
    char tmpl[] = "/dev/shm/norvelle-fuzz-conv-XXXXXX";  // tmpfs: fsync costs nothing
    if (::access("/dev/shm", W_OK) != 0) std::strcpy(tmpl, "/tmp/norvelle-fuzz-conv-XXXXXX");
    const char* d = mkdtemp(tmpl);
    if (!d) std::abort();
    const std::string f(d);
    ::mkdir((f + "/qdx").c_str(), 0700);
    SetProgramPathForTesting(f + "/norvelle");
    return f;
  }());
  return folder;
}

struct Cleanup {
  ~Cleanup() {
    for (const char* n : {"/norvelle.ini", "/qdx/a.qdx", "/inc", "/doc.txt", "/doc.htm"})
      ::unlink((Folder() + n).c_str());
    ::rmdir((Folder() + "/qdx").c_str());
    ::rmdir(Folder().c_str());
  }
} cleanup;

// Could a path taken from this source leave the folder?
bool MayLeaveFolder(std::string_view s) {
  if (s.find('/') != std::string_view::npos || s.find("..") != std::string_view::npos) return true;
  const char* e = s.data() + s.size();
  for (const char* p = s.data(); p < e; p = NextChar(p, e))
    if (*p == '\\') return true;
  return false;
}

// The tags the program itself writes for the commands of SafeDocument.
bool OwnTag(std::string_view tag) {
  static constexpr std::string_view kTags[] = {"br", "b", "/b", "i", "/i", "table", "/table", "tr", "/tr",
                                               "td", "th", "tt", "/tt", "nobr", "/nobr", "/font"};
  for (std::string_view t : kTags)
    if (tag == t) return true;
  return tag.size() == 20 && tag.substr(0, 13) == "font color=\"#" && tag.back() == '"';
}

// Aborts when text (decoded as a browser does) holds markup of its own: a
// < > " outside the program's tags, or an '&' that starts no entity.
void CheckEscaped(std::string_view text) {
  const std::string seen = test::BrowserAscii(text);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    if (seen[i] == '<') {
      const std::size_t end = seen.find('>', i);
      if (end == std::string::npos || !OwnTag(std::string_view(seen).substr(i + 1, end - i - 1))) std::abort();
      i = end;
    } else if (seen[i] == '>' || seen[i] == '"') {
      std::abort();
    } else if (seen[i] == '&') {
      const std::string_view rest = std::string_view(seen).substr(i);
      if (!test::StartsWithEntity(rest)) std::abort();
    }
  }
}

// The source's lines as text only: each in the title, as plain, bold,
// italic and table lines and in a listing, none of them a command line.
std::string SafeDocument(std::string_view source) {
  std::string lines, title;
  for (std::size_t at = 0; at <= source.size();) {
    std::size_t lf = source.find('\n', at);
    if (lf == std::string_view::npos) lf = source.size();
    std::string_view line = source.substr(at, lf - at);
    lines += line.starts_with('|') ? "x" : "";
    lines.append(line);
    lines += '\n';
    at = lf + 1;
  }
  title = lines.substr(0, lines.find('\n'));
  std::string doc = "|title|" + title + "\n" + lines;
  for (std::size_t at = 0; at < lines.size();) {
    const std::size_t lf = lines.find('\n', at);
    const std::string_view line = std::string_view(lines).substr(at, lf - at);
    for (std::string_view prefix : {"|b|", "|i|"}) doc += std::string(prefix) + std::string(line) + "\n";
    at = lf + 1;
  }
  return doc + "|table=|\n" + lines + "|endtable|\n|cppsrc|\n" + lines + "|endcppsrc|\nend\n";
}

// The page of SafeDocument under the default rules holds no markup but the
// program's own: in the title and in the body.
void CheckNoMarkupPasses(std::string_view source, const std::string& f,
                         const std::function<void(const std::string&, std::string_view)>& put) {
  put(f + "/norvelle.ini", "");
  put(f + "/doc.txt", SafeDocument(source));
  QuietHost host(0);
  if (Convert(host, f + "/doc.txt") == RunOutcome::kFailed) return;  // a 0x1A first: empty
  std::string page;
  if (!ReadTextFile(f + "/doc.htm", page)) std::abort();
  const std::size_t title = page.find("<title>"), title_end = page.find("</title>");
  const std::size_t body = page.find("<body>"), body_end = page.rfind("</body>");
  if (title == std::string::npos || title_end == std::string::npos || body == std::string::npos ||
      body_end == std::string::npos)
    std::abort();
  CheckEscaped(std::string_view(page).substr(title + 7, title_end - title - 7));
  CheckEscaped(std::string_view(page).substr(body + 6, body_end - body - 6));
  ::unlink((f + "/doc.htm").c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t rule_len = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
  const std::string_view rules(reinterpret_cast<const char*>(data) + 2, rule_len);
  const std::string_view source(reinterpret_cast<const char*>(data) + 2 + rule_len,
                                size - 2 - rule_len);
  if (MayLeaveFolder(source)) return 0;

  const std::string& f = Folder();
  // Written raw: WriteTextFile would add CRs, which reading takes away again.
  const std::function<void(const std::string&, std::string_view)> put = [](const std::string& path,
                                                                           std::string_view bytes) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  };
  CheckNoMarkupPasses(source, f, put);
  put(f + "/norvelle.ini", rules);
  put(f + "/qdx/a.qdx", rules);
  put(f + "/inc", "<included>\n");
  put(f + "/doc.txt", source);
  ::unlink((f + "/doc.htm").c_str());

  QuietHost host(0);
  const RunOutcome r = Convert(host, f + "/doc.txt");
  struct stat st;
  const bool written = ::stat((f + "/doc.htm").c_str(), &st) == 0;
  // Written exactly when the run says so; errors are reported when it says so.
  if (written != (r == RunOutcome::kDone || r == RunOutcome::kDoneErrors)) std::abort();
  if ((r == RunOutcome::kDoneErrors) != (host.ErrorCount() > 0 && written)) std::abort();
  return 0;
}
