// The settings dialog's logic: a sequence of the user's edits decoded from
// the input runs on in-memory controls; every Apply, Save and Save as is
// then checked by reading the file back, once into a plain store and once by
// a fresh editor as the dialog would open it: what was stored is what is
// read back. The rule-file format loses two things by design, and those are
// asserted instead of skipped: a key loses its leading blanks (two words
// that then meet keep the one written last), and an entry with an empty word
// is not written at all (no line can hold an empty key). A store holding a
// 0x1A byte must not be saved: the old file stays byte for byte and the user
// is told.
//
// Typed text is what the window binding can hand over: CP932 converted from
// the toolkit's text, so never a NUL and never a lead byte without its trail.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "text/dbcs.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "rules/rule_file.h"
#include "rules/rule_keys.h"
#include "rules/rule_store.h"
#include "settings/fake_view.h"
#include "settings/settings_editor.h"
#include "settings/text_forms.h"

namespace {

using namespace norvelle;
using norvelle::test::Bench;

void Check(bool ok) {
  if (!ok) std::abort();
}

// A private folder standing in for the program's folder, removed at exit.
// Never destroyed: the cleanup at exit still needs it.
const std::string& Folder() {
  static const std::string& folder = *new std::string([] {
    char tmpl[] = "/dev/shm/norvelle-fuzz-settings-XXXXXX";  // tmpfs: fsync costs nothing
    if (::access("/dev/shm", W_OK) != 0) std::strcpy(tmpl, "/tmp/norvelle-fuzz-settings-XXXXXX");
    const char* d = mkdtemp(tmpl);
    if (!d) std::abort();
    return std::string(d);
  }());
  return folder;
}

const char* const kSaveNames[] = {"a.qdx", "b.qdx"};

void RemoveFiles() {
  ::unlink((Folder() + "/norvelle.ini").c_str());
  for (const char* name : kSaveNames) ::unlink((Folder() + "/qdx/" + name).c_str());
  ::rmdir((Folder() + "/qdx").c_str());
}

struct Cleanup {
  ~Cleanup() {
    RemoveFiles();
    ::rmdir(Folder().c_str());
  }
} cleanup;

// Bytes that are no CP932 character of their own (0xFD-0xFF) pick a piece
// of syntax instead, so that the fuzzer reaches escapes, end lines and the
// byte that text mode stops at without guessing them byte by byte.
const char* const kPieces[] = {"[EndSection]", "=",  "\\",     "\\n", "\r\n", "\x1A", "\t", " ",
                               "\x83\x5C",     "[",  "]",      "/",   ".",    "%1",   "M:", "\n"};

bool IsTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

std::string Typed(std::string_view raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(raw[i]);
    if (b >= 0xFD) {
      if (i + 1 < raw.size()) out += kPieces[static_cast<unsigned char>(raw[++i]) % std::size(kPieces)];
    } else if (IsLeadByte(b)) {
      if (i + 1 < raw.size() && IsTrail(static_cast<unsigned char>(raw[i + 1]))) {
        out += raw[i];
        out += raw[++i];
      }
    } else if (b != 0 && b != 0x80 && b != 0xA0) {
      out += raw[i];
    }
  }
  return out;
}

// A store's contents without its map order: section path -> key -> value.
using Tree = std::map<std::string, std::map<std::string, std::string>>;

// Every key of every section, as put(keys, key, value) files it.
template <class Put>
Tree Walk(const RuleStore& store, Put&& put) {
  Tree tree;
  std::vector<std::string> path;
  RuleStore::WalkTree(
      store.root(),
      [&](std::string_view name, const RuleStore::Section& s, int depth) {
        path.resize(std::size_t(depth));
        path.emplace_back(name);
        std::string joined;
        for (const std::string& p : path) joined += p + "/";
        auto& keys = tree[joined];
        RuleStore::ForEachKey(s, [&](std::string_view key, const RuleStore::Value& v) {
          put(keys, key, v.view());
        });
      },
      [](const RuleStore::Section&, int) {});
  return tree;
}

Tree Contents(const RuleStore& store) {
  return Walk(store, [](auto& keys, std::string_view key, std::string_view value) {
    keys[std::string(key)] = std::string(value);
  });
}

// What a file written from the store reads back as, by the format's rules:
// keys lose leading blanks, the one written last wins, empty keys vanish.
Tree Expected(const RuleStore& store) {
  return Walk(store, [](auto& keys, std::string_view key, std::string_view value) {
    const std::size_t start = key.find_first_not_of(" \t");
    if (start == std::string_view::npos) return;  // empty, or blanks only
    keys[std::string(key.substr(start))] = std::string(value);
  });
}

bool HoldsEof(const RuleStore& store) {
  CStr_base<1024> text;
  WriteRuleText(store, text);
  return text.view().find('\x1A') != std::string_view::npos;
}

std::string FileBytes(const std::string& path, bool& exists) {
  exists = ::access(path.c_str(), F_OK) == 0;
  std::string raw;
  if (exists && !ReadTextFile(path, raw)) std::abort();
  return raw;
}

// A fresh editor opening the file shows exactly the stored rule. Showing an
// auto-replace entry stores its kind and replacement back, which changes
// nothing for an entry with a kind; one without gets "M:".
void CheckReopened(const std::string& path, bool is_default, const Tree& stored) {
  Bench b;
  b.editor.Start();
  if (!is_default) {
    b.files.open_result = path;
    b.Press(ctl::kCmdOpen);
  }
  Check(b.boxes.asked.empty());
  Check(b.editor.rule_file_path() == (is_default ? std::string() : path));
  Tree seen = Contents(b.editor.store());
  const int sel = b.controls.ListSelection(ctl::kAutoList);
  if (sel >= 0) {
    const std::string key(EscapeKey(b.controls.ListText(ctl::kAutoList, sel)).view());
    auto& was = seen["/AutoReplaceList/"];
    auto it = stored.find("/AutoReplaceList/");
    Check(it != stored.end() && it->second.count(key) && was.count(key));
    const std::string& before = it->second.at(key);
    if (before.size() >= 2 && (before[0] == 'M' || before[0] == 'I' || before[0] == 'R') &&
        before[1] == ':')
      Check(was[key] == before);
    was[key] = before;
  }
  Check(seen == stored);

  // The fields show the root keys, and gathering them stores the same.
  const RuleStore& st = b.editor.store();
  Check(std::string(CrLfToLf(b.controls.Text(ctl::kHeader)).view()) ==
        std::string(RuleValue(st, RuleKey::kHeaderStr).view()));
  Check(std::string(CrLfToLf(b.controls.Text(ctl::kFooter)).view()) ==
        std::string(RuleValue(st, RuleKey::kEndStr).view()));
  const std::pair<int, RuleKey> plain[] = {
      {ctl::kSplitKey, RuleKey::kSplitKey},
      {ctl::kJoinKey, RuleKey::kJoinKey},
  };
  for (const ListingColourInfo& c : kListingColours)
    Check(b.controls.Text(c.control) == std::string(RuleValue(st, ColourKey(c.colour)).view()));
  for (const auto& [id, key] : plain)
    Check(b.controls.Text(id) == std::string(RuleValue(st, key).view()));
  Check(b.controls.Check(ctl::kLineOut) == st.GetFlag("/SrcLineOut", true));
  Check(b.controls.ListCount(ctl::kReplaceList) == kReplaceCount);
  Check(!b.editor.modified());
}

// One Apply, Save or Save as, checked.
void SaveAndCheck(Bench& b, int command, const std::string& target) {
  const std::string path = command == ctl::kApply ? DefaultRuleFile() : target;
  bool existed = false;
  const std::string old_bytes = FileBytes(path, existed);
  const std::size_t asked = b.boxes.asked.size();
  const bool was_modified = b.editor.modified();
  b.Press(command);

  // Gathering the fields happens before writing, success or not.
  const RuleStore& saved = b.editor.store();
  bool exists = false;
  const std::string new_bytes = FileBytes(path, exists);
  if (HoldsEof(saved)) {
    Check(exists == existed && new_bytes == old_bytes);
    Check(b.boxes.asked.size() == asked + 1 && b.boxes.asked.back() == "保存に失敗しました");
    Check(b.editor.modified() == was_modified);
    return;
  }
  Check(exists && b.boxes.asked.size() == asked && !b.editor.modified());
  const Tree expected = Expected(saved);
  RuleStore read;
  Check(read.Load(path, true));
  Check(Contents(read) == expected);
  CheckReopened(path, command == ctl::kApply, expected);
}

const int kTypedFields[] = {ctl::kHeader,      ctl::kFooter,       ctl::kTabStop,     ctl::kSplitKey,
                            ctl::kJoinKey,     ctl::kColorNormal,  ctl::kColorSymbol, ctl::kColorKeyword,
                            ctl::kColorNum,    ctl::kColorChar,    ctl::kColorString, ctl::kColorComment,
                            ctl::kColorLine,   ctl::kReplaceEntry, ctl::kWord,        ctl::kReplacement,
                            ctl::kWord,        ctl::kReplacement,  ctl::kReplaceEntry};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RemoveFiles();
  SetProgramPathForTesting(Folder() + "/norvelle");
  FuzzedDataProvider in(data, size);
  Bench b;
  b.editor.Start();
  Check(b.boxes.asked.empty());

  for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
    switch (in.ConsumeIntegralInRange<int>(0, 10)) {
      case 0: {  // typing into a field
        const int id = kTypedFields[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kTypedFields) - 1)];
        b.controls.texts[id] = Typed(in.ConsumeRandomLengthString(64));
        b.editor.OnTextChanged(id);
        break;
      }
      case 1:  // a line of the replace table
        b.Select(ctl::kReplaceList, in.ConsumeIntegralInRange<int>(0, kReplaceCount - 1));
        break;
      case 2: {  // a word of the auto-replace list (a list reports only lines it has)
        const int count = b.controls.ListCount(ctl::kAutoList);
        if (count > 0) b.Select(ctl::kAutoList, in.ConsumeIntegralInRange<int>(0, count - 1));
        break;
      }
      case 3:
        b.Press(ctl::kAdd);
        break;
      case 4:
        b.Press(ctl::kDelete);
        break;
      case 5:  // M, I or R
        b.Select(ctl::kKind, in.ConsumeIntegralInRange<int>(0, 2));
        break;
      case 6:
        b.controls.checks[ctl::kLineOut] = !b.controls.Check(ctl::kLineOut);
        b.Press(ctl::kLineOut);
        break;
      case 7:
        b.Press(ctl::kCmdNew);
        break;
      case 8:
        SaveAndCheck(b, ctl::kApply, std::string());
        break;
      case 9:
      case 10: {  // Save asks for a name only while the rule has none
        const std::string target =
            Folder() + "/qdx/" + kSaveNames[in.ConsumeIntegralInRange<std::size_t>(0, 1)];
        const int command = in.ConsumeBool() ? ctl::kCmdSave : ctl::kCmdSaveAs;
        const std::string path =
            command == ctl::kCmdSave && !b.editor.rule_file_path().empty() ? b.editor.rule_file_path()
                                                                            : target;
        b.files.save_result = target;
        SaveAndCheck(b, command, path);
        break;
      }
    }
  }
  return 0;
}
