// A whole conversion from source bytes and rule-file bytes, in a private
// temporary folder that holds the program's default rule file, a named rule
// file "a" in its rules folder, a file "inc" to include, the source and the
// output. A source that could name a file outside the folder ("/", a "\"
// between characters, "..") is skipped, so include= and |ini| stay inside.
//
// Input: two bytes (little-endian) give the rule file's length, then the
// rule file, then the source.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/dbcs.h"
#include "convert/host.h"
#include "convert/run.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

using namespace norvelle;

class QuietHost : public ConversionHost {
 public:
  void SetStatus(std::string_view) override {}
  void AddError(std::string_view) override { ++errors_; }
  int ErrorCount() const override { return errors_; }
  void SetButtonCaption(std::string_view) override {}
  void SetProgressRange(int) override {}
  void SetProgressPos(int) override {}
  bool Pump() override { return false; }

 private:
  int errors_ = 0;
};

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
  auto put = [](const std::string& path, std::string_view bytes) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  };
  put(f + "/norvelle.ini", rules);
  put(f + "/qdx/a.qdx", rules);
  put(f + "/inc", "<included>\n");
  put(f + "/doc.txt", source);
  ::unlink((f + "/doc.htm").c_str());

  QuietHost host;
  const RunOutcome r = Convert(host, f + "/doc.txt");
  struct stat st;
  const bool written = ::stat((f + "/doc.htm").c_str(), &st) == 0;
  // Written exactly when the run says so; errors are reported when it says so.
  if (written != (r == RunOutcome::kDone || r == RunOutcome::kDoneErrors)) std::abort();
  if ((r == RunOutcome::kDoneErrors) != (host.ErrorCount() > 0 && written)) std::abort();
  return 0;
}
