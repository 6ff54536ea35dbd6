// RuleStore: one rule held in memory as a tree of named sections.
//
// Each section (IniExElement) holds named values and named child sections,
// addressed by key paths like a file system: "/" separates, ".." goes up, a
// leading "/" starts at the root, empty components are skipped. All maps of
// one store draw their nodes from two shared pools, and iteration follows the
// maps' fixed bucket order, which decides the bytes of a written rule file.
// Reading and writing the file form live in rule_file.h; Load, Parse and Save
// here are the entry points.
//
// Not for: keys that hold raw "/" or "=" through key paths (callers escape
// them, see rule_keys.h). A key path with "=", or whose section part does not
// exist, throws an int (kKeyPathHasEquals, kNoSuchSection): both are caller
// preconditions, not user errors. Sections keep their address until Clear.
// Not thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/array.h"
#include "base/map.h"
#include "base/str.h"

namespace norvelle {

// One section. KS and KV are the key widths of the section-name and value
// maps, N the growth step of the value strings.
template <int KS, int KV, std::uint32_t N>
struct IniExElement {
  static_assert(KS == 32 && KV == 32, "the string-keyed maps have 32-byte key fields");
  using SectionMap = CStrMap<IniExElement*>;
  using ValueMap = CStrMap<CStr_base<N>>;

  IniExElement* parent = nullptr;  // none for the root
  // Engaged by the owning store when the section comes into use, because the
  // maps must be built on the store's shared pools.
  std::optional<SectionMap> children;
  std::optional<ValueMap> values;

  SectionMap& Children() { return *children; }
  const SectionMap& Children() const { return *children; }
  ValueMap& Values() { return *values; }
  const ValueMap& Values() const { return *values; }
};

class RuleStore {
 public:
  using Section = IniExElement<32, 32, 64>;
  using Value = CStr_base<64>;

  // The int thrown by key-path lookups.
  static constexpr int kKeyPathHasEquals = -1;
  static constexpr int kNoSuchSection = -2;

  RuleStore();
  ~RuleStore();
  RuleStore(const RuleStore&) = delete;
  RuleStore& operator=(const RuleStore&) = delete;

  // Drops every section and value; a new empty root becomes current. The
  // remembered file path stays.
  void Clear();

  // Reads the default rule file (Load(bool)) or the named one into the store,
  // clearing it first when asked. The file is remembered for Save() even when
  // it cannot be opened. False when it cannot be opened or a line fails.
  bool Load(bool clear);
  bool Load(std::string_view path, bool clear);
  bool Load(const char* path) = delete;  // would read as Load(bool): a path needs its flag
  // Reads rule-file text into the store from the current section on.
  bool Parse(std::string_view text, bool clear);
  // Writes to the named file, else the remembered one, else the default rule
  // file. False when any byte cannot be written (the old file is then intact),
  // and, writing nothing, when a key, value or name holds a 0x1A byte: reading
  // would end the file there and drop the rest, and no escape for it exists
  // that every reader of older files would read the same way. A writable
  // file in a folder that takes no new file is rewritten in place instead
  // of replaced; only then can a failed write leave it damaged.
  bool Save() const;
  bool Save(std::string_view path) const;

  // Child of the current section; false when the name holds "/" or ".".
  bool CreateSection(std::string_view name);
  // False, and nothing changes, when a component is missing or ".." would
  // leave the root.
  bool ChangeSection(std::string_view path);
  Section* FindSection(std::string_view path);
  const Section* FindSection(std::string_view path) const;

  // Value lookups by key path; see the throw rules above.
  const Value* GetValue(std::string_view key_path) const;
  Value GetValueOr(std::string_view key_path, std::string_view fallback) const;
  // The fallback when absent; else on exactly when the value is "ON".
  bool GetFlag(std::string_view key_path, bool fallback) const;
  // The stored value for reading and writing, created empty when absent.
  Value& ValueSlot(std::string_view key_path);
  void SetFlag(std::string_view key_path, bool on);
  // Removes a key of the current section (a name, not a path).
  void RemoveValue(std::string_view key);

  // Replaces this store's tree by a copy of other's, entering the same
  // current path. The remembered file path stays.
  void CopyFrom(const RuleStore& other);

  // f(key, value) for each value of the section, in map order.
  template <class F>
  static void ForEachKey(const Section& s, F&& f) {
    s.Values().ForEach(f);
  }
  // f(name, section) for each child of the section, in map order.
  template <class F>
  static void ForEachSection(const Section& s, F&& f) {
    s.Children().ForEach([&](std::string_view name, Section* const& child) { f(name, *child); });
  }

  // Depth-first walk without recursion, so deeply nested files cannot
  // exhaust the stack: enter(name, section, depth) before a section's
  // children (the top has depth 0 and an empty name), leave(section, depth)
  // after them.
  template <class Enter, class Leave>
  static void WalkTree(const Section& top, Enter&& enter, Leave&& leave) {
    struct Frame {
      const Section* section;
      std::vector<std::pair<std::string_view, const Section*>> kids;
      std::size_t next = 0;
    };
    std::vector<Frame> stack;
    auto push = [&](std::string_view name, const Section& s) {
      enter(name, s, int(stack.size()));
      Frame f{&s, {}, 0};
      ForEachSection(s, [&](std::string_view n, const Section& c) { f.kids.emplace_back(n, &c); });
      stack.push_back(std::move(f));
    };
    push(std::string_view(), top);
    while (!stack.empty()) {
      Frame& f = stack.back();
      if (f.next < f.kids.size()) {
        auto [name, child] = f.kids[f.next++];
        push(name, *child);  // f may dangle from here on
      } else {
        const Section* s = f.section;
        stack.pop_back();
        leave(*s, int(stack.size()));
      }
    }
  }

  Section& root() { return *root_; }
  const Section& root() const { return *root_; }
  Section& current() { return *current_; }
  const Section& current() const { return *current_; }
  const CStr& current_path() const { return current_path_; }
  const std::string& file_path() const { return file_path_; }

  // Bookkeeping, for checking that Clear gives everything back.
  std::uint32_t section_count() const { return sections_.count(); }
  std::uint32_t section_nodes_in_use() const { return section_pool_->in_use(); }
  std::uint32_t value_nodes_in_use() const { return value_pool_->in_use(); }

 private:
  using SectionPool = CMapPool<Section::SectionMap::Node>;
  using ValuePool = CMapPool<Section::ValueMap::Node>;

  static bool InitSection(Section* s, std::uint32_t n, void* user, CArrayAuto<Section>* array);
  static void ResetSection(Section* s, std::uint32_t n, void* user, CArrayAuto<Section>* array);

  Section* NewSection(Section* parent);
  Section* Resolve(std::string_view path) const;
  void UpdateCurrentPath(std::string_view path);
  // The section a key path points into and the key name within it.
  Section* KeySection(std::string_view key_path, std::string_view& key) const;

  template <class P>
  struct PoolRelease {
    void operator()(P* p) const { p->Release(); }
  };

  // Declared before the sections so that they outlive every map using them.
  std::unique_ptr<SectionPool, PoolRelease<SectionPool>> section_pool_;
  std::unique_ptr<ValuePool, PoolRelease<ValuePool>> value_pool_;
  CArrayAuto<Section> sections_;
  Section* root_ = nullptr;
  Section* current_ = nullptr;
  CStr current_path_;
  std::string file_path_;
  // The file began with a UTF-8 byte order mark: read as UTF-8 and saved so.
  bool utf8_file_ = false;
};

}  // namespace norvelle
