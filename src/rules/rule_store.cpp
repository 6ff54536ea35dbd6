#include "rules/rule_store.h"

#include <cerrno>

#include "platform/carry.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/whole_file.h"
#include "rules/rule_file.h"

namespace norvelle {

namespace {

// The default rule file; false when the program path is unknown or too short
// to carry an extension.
bool DefaultRulePath(std::string& path) {
  if (ProgramPath().size() < 6) return false;
  path = DefaultRuleFile();
  return !path.empty();
}

// '/' and '=' (0x2F, 0x3D) are never trail bytes, so byte searches for them
// cannot stop inside a double-byte character.
constexpr std::size_t kNone = std::string_view::npos;

}  // namespace

RuleStore::RuleStore()
    : section_pool_(SectionPool::Create()), value_pool_(ValuePool::Create()) {
  sections_.SetHooks(&InitSection, &ResetSection, this);
  root_ = current_ = NewSection(nullptr);
}

RuleStore::~RuleStore() {
  // Nothing outlives the store on its pools: they destroy the nodes at once.
  section_pool_->Discard();
  value_pool_->Discard();
}

bool RuleStore::InitSection(Section* s, std::uint32_t, void* user, CArrayAuto<Section>*) {
  auto* store = static_cast<RuleStore*>(user);
  // A reused section keeps its maps: they are empty and on our pools already.
  if (!s->children) s->children.emplace(store->section_pool_.get());
  if (!s->values) s->values.emplace(store->value_pool_.get());
  s->parent = nullptr;
  return true;
}

void RuleStore::ResetSection(Section* s, std::uint32_t, void*, CArrayAuto<Section>*) {
  if (s->children) s->children->Clear();
  if (s->values) s->values->Clear();
  s->parent = nullptr;
}

RuleStore::Section* RuleStore::NewSection(Section* parent) {
  Section& s = sections_.Add();
  s.parent = parent;
  return &s;
}

void RuleStore::Clear() {
  sections_.Clear();  // the reset hook empties every section's maps
  root_ = current_ = NewSection(nullptr);
  current_path_.Clear();
}

bool RuleStore::Load(bool clear) {
  if (clear) Clear();
  std::string path;
  if (!DefaultRulePath(path)) return false;
  return Load(path, false);
}

bool RuleStore::Load(std::string_view path, bool clear) {
  if (clear) Clear();
  file_path_.assign(path);
  utf8_file_ = false;
  std::string text;
  if (!ReadTextFile(file_path_, text)) return false;
  if (text.starts_with(kUtf8Mark)) {
    // Characters CP932 lacks are carried, so a save gives them back.
    std::string cp;
    ProcessCarry().TextToCp932(std::string_view(text).substr(kUtf8Mark.size()), cp);
    text = std::move(cp);
    utf8_file_ = true;
  }
  return Parse(text, false);
}

bool RuleStore::Parse(std::string_view text, bool clear) {
  if (clear) Clear();
  return ReadRuleText(*this, text);
}

bool RuleStore::Save() const {
  if (!file_path_.empty()) return Save(file_path_);
  std::string path;
  if (!DefaultRulePath(path)) return false;
  return Save(path);
}

bool RuleStore::Save(std::string_view path) const {
  CStr_base<1024> text;
  WriteRuleText(*this, text);
  if (text.view().find('\x1A') != std::string_view::npos) return false;
  const std::string target(path);
  std::string utf8;
  if (utf8_file_) {
    ProcessCarry().ToUtf8(text.view(), utf8, false);
    utf8.insert(0, kUtf8Mark);
  }
  const std::string_view bytes = utf8_file_ ? std::string_view(utf8) : text.view();
  if (WriteTextFile(target, {bytes})) return true;
  // A folder the user may not write still lets a writable file in it be
  // rewritten where it is, as editors do, rather than not at all.
  return FolderRefusesNewFiles(errno) && RewriteTextInPlace(target, bytes);
}

bool RuleStore::CreateSection(std::string_view name) {
  if (name.find('/') != kNone || name.find('.') != kNone) return false;
  std::uint32_t h = MapHash(name);
  if (current_->Children().Find(name, h)) return true;
  Section* s = NewSection(current_);
  current_->Children().InsertNew(name, h) = s;
  return true;
}

RuleStore::Section* RuleStore::Resolve(std::string_view path) const {
  Section* s = current_;
  if (!path.empty() && path[0] == '/') {
    s = root_;
    path.remove_prefix(1);
  }
  for (;;) {
    std::size_t slash = path.find('/');
    std::string_view comp = path.substr(0, slash);
    if (comp == "..") {
      if (!s->parent) return nullptr;
      s = s->parent;
    } else if (!comp.empty()) {
      Section** child = s->Children().Find(comp);
      if (!child) return nullptr;
      s = *child;
    }
    if (slash == kNone) return s;
    path.remove_prefix(slash + 1);
  }
}

// The current path follows the path as given, not the sections reached: an
// absolute path is kept verbatim (minus its "/"), a relative one is applied
// component by component to the old path. Appending and cutting in place
// keeps a file of deeply nested sections linear to read.
void RuleStore::UpdateCurrentPath(std::string_view path) {
  if (!path.empty() && path[0] == '/') {
    current_path_.Assign(path.data() + 1, path.size() - 1);
    return;
  }
  CStr& cur = current_path_;
  std::size_t i = 0;
  while (i <= path.size()) {
    std::size_t slash = path.find('/', i);
    if (slash == kNone) slash = path.size();
    std::string_view comp = path.substr(i, slash - i);
    if (comp == "..") {
      std::size_t last = cur.view().rfind('/');
      cur.Truncate(last == kNone ? 0 : std::uint32_t(last));
    } else if (!comp.empty()) {
      // The old path "" stands for one empty component, so this leaves a
      // leading "/" that the step below drops.
      cur.AppendChar('/');
      cur.Append(comp);
    }
    i = slash + 1;
  }
  // A first empty component is dropped.
  if (!cur.empty() && cur.data()[0] == '/') cur.Assign(cur.data() + 1, cur.length() - 1);
}

bool RuleStore::ChangeSection(std::string_view path) {
  Section* s = Resolve(path);
  if (!s) return false;
  current_ = s;
  UpdateCurrentPath(path);
  return true;
}

RuleStore::Section* RuleStore::FindSection(std::string_view path) { return Resolve(path); }
const RuleStore::Section* RuleStore::FindSection(std::string_view path) const {
  return Resolve(path);
}

RuleStore::Section* RuleStore::KeySection(std::string_view key_path, std::string_view& key) const {
  if (key_path.find('=') != kNone) throw int(kKeyPathHasEquals);
  std::size_t slash = key_path.rfind('/');
  if (slash == kNone) {
    key = key_path;
    return current_;
  }
  key = key_path.substr(slash + 1);
  std::string_view section = key_path.substr(0, slash);
  // "/Key": the section part is empty, which means the root, not "here".
  Section* s = section.empty() ? root_ : Resolve(section);
  if (!s) throw int(kNoSuchSection);
  return s;
}

const RuleStore::Value* RuleStore::GetValue(std::string_view key_path) const {
  std::string_view key;
  const Section* s = KeySection(key_path, key);
  return s->Values().Find(key);
}

RuleStore::Value RuleStore::GetValueOr(std::string_view key_path, std::string_view fallback) const {
  const Value* v = GetValue(key_path);
  return v ? *v : Value(fallback);
}

bool RuleStore::GetFlag(std::string_view key_path, bool fallback) const {
  const Value* v = GetValue(key_path);
  return v ? *v == "ON" : fallback;
}

RuleStore::Value& RuleStore::ValueSlot(std::string_view key_path) {
  std::string_view key;
  Section* s = KeySection(key_path, key);
  return s->Values()[key];
}

void RuleStore::SetFlag(std::string_view key_path, bool on) {
  ValueSlot(key_path) = on ? "ON" : "OFF";
}

void RuleStore::RemoveValue(std::string_view key) { current_->Values().Remove(key); }

void RuleStore::CopyFrom(const RuleStore& other) {
  if (&other == this) return;
  Clear();
  // Copies made in the other's iteration order land in the same chains in
  // the same order, so the copy writes the same bytes.
  std::vector<Section*> targets;  // the copy of each section on the walk's stack
  WalkTree(
      other.root(),
      [&](std::string_view name, const Section& from, int depth) {
        Section* to = root_;
        if (depth > 0) {
          Section* parent = targets[std::size_t(depth - 1)];
          to = NewSection(parent);
          parent->Children().InsertNew(name) = to;
        }
        targets.resize(std::size_t(depth));
        targets.push_back(to);
        from.Values().ForEach([&](std::string_view k, const Value& v) { to->Values()[k] = v; });
      },
      [](const Section&, int) {});
  ChangeSection(other.current_path_.view());
}

}  // namespace norvelle
