// Rule files: parse the input as a rule file, write the store out, save it
// and load it back. The format promises that a written file reads back into
// the same store; a store holding a 0x1A byte must be refused by Save (text
// mode would end the file there) and leave the old file as it was.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "rules/rule_file.h"
#include "rules/rule_store.h"

namespace {

using namespace norvelle;

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string Written(const RuleStore& store) {
  CStr_base<1024> out;
  WriteRuleText(store, out);
  return std::string(out.view());
}

// A private folder for the saved file, removed at exit.
// Never destroyed: the cleanup at exit still needs it.
const std::string& Folder() {
  static const std::string& folder = *new std::string([] {
    char tmpl[] = "/dev/shm/norvelle-fuzz-rules-XXXXXX";  // tmpfs: fsync costs nothing
    if (::access("/dev/shm", W_OK) != 0) std::strcpy(tmpl, "/tmp/norvelle-fuzz-rules-XXXXXX");
    const char* d = mkdtemp(tmpl);
    if (!d) std::abort();
    return std::string(d);
  }());
  return folder;
}

struct Cleanup {
  ~Cleanup() {
    ::unlink((Folder() + "/rule.qdx").c_str());
    ::rmdir(Folder().c_str());
  }
} cleanup;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RuleStore first;
  first.Parse(text, true);  // a failed line keeps what was read before it
  const std::string once = Written(first);

  RuleStore second;
  Check(second.Parse(once, true));
  Check(Written(second) == once);

  const std::string path = Folder() + "/rule.qdx";
  Check(WriteTextFile(path, {"old\n"}));
  if (once.find('\x1A') != std::string::npos) {
    Check(!first.Save(path));
    std::string left;
    Check(ReadTextFile(path, left) && left == "old\n");
    return 0;
  }
  Check(first.Save(path));
  RuleStore third;
  Check(third.Load(path, true));
  Check(Written(third) == once);
  return 0;
}
