// In-memory controls, message boxes and file dialogs for the settings logic,
// with helpers that act as the user does (typing reports the change).
#pragma once

#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/encoding.h"
#include "settings/settings_editor.h"
#include "settings/settings_view.h"

namespace norvelle::test {

inline std::string Sjis(const std::string& utf8) {
  std::string out;
  Utf8ToCp932(utf8, out);
  return out;
}
inline std::string Utf8(const std::string& cp932) { return Cp932ToUtf8Lossy(cp932); }

inline std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class FakeControls : public SettingsControls {
 public:
  void SetText(int id, std::string_view text) override { texts[id] = std::string(text); }
  std::string Text(int id) const override { return Get(texts, id); }
  void SetCheck(int id, bool on) override { checks[id] = on; }
  bool Check(int id) const override { return checks.count(id) && checks.at(id); }
  void ListClear(int id) override {
    lists[id].clear();
    selection[id] = -1;
  }
  int ListAdd(int id, std::string_view text) override {
    auto& l = lists[id];
    std::string t(text);
    std::size_t at = l.size();
    if (id == ctl::kAutoList) {  // sorted: letter case ignored, then bytes
      at = 0;
      while (at < l.size() && !Less(t, l[at])) ++at;
    }
    l.insert(l.begin() + long(at), t);
    return int(at);
  }
  void ListInsert(int id, int index, std::string_view text) override {
    lists[id].insert(lists[id].begin() + index, std::string(text));
  }
  void ListRemove(int id, int index) override {
    lists[id].erase(lists[id].begin() + index);
    if (selection[id] >= int(lists[id].size())) selection[id] = -1;
  }
  int ListCount(int id) const override { return lists.count(id) ? int(lists.at(id).size()) : 0; }
  std::string ListText(int id, int index) const override { return lists.at(id).at(std::size_t(index)); }
  void ListSelect(int id, int index) override { selection[id] = index; }
  int ListSelection(int id) const override { return selection.count(id) ? selection.at(id) : -1; }
  int ListFindExact(int id, std::string_view text) const override {
    const auto& l = lists.at(id);
    for (std::size_t i = 0; i < l.size(); ++i)
      if (Lower(l[i]) == Lower(std::string(text))) return int(i);
    return -1;
  }
  void Show(int id, bool visible) override { shown[id] = visible; }
  void Focus(int id) override { focus = id; }
  void SetSwatch(int id, Rgb colour) override { swatches[id] = colour; }
  void SetCaption(std::string_view text) override { caption = Utf8(std::string(text)); }
  void Close(bool accepted) override { closed = accepted; }
  void ShowAbout() override { ++abouts; }

  std::map<int, std::string> texts;
  std::map<int, bool> checks;
  std::map<int, std::vector<std::string>> lists;
  std::map<int, int> selection;
  std::map<int, bool> shown;
  std::map<int, Rgb> swatches;
  int focus = 0;
  std::string caption;
  std::optional<bool> closed;
  int abouts = 0;

 private:
  static bool Less(const std::string& a, const std::string& b) {
    const std::string la = Lower(a), lb = Lower(b);
    return la != lb ? la < lb : a < b;
  }
  static std::string Get(const std::map<int, std::string>& m, int id) {
    auto it = m.find(id);
    return it == m.end() ? std::string() : it->second;
  }
};

class FakeBoxes : public MessageBoxes {
 public:
  Answer Ask(std::string_view text, Buttons buttons) override {
    asked.push_back(Utf8(std::string(text)));
    this->buttons.push_back(buttons);
    if (answers.empty()) return buttons == Buttons::kOk ? Answer::kOk : Answer::kCancel;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::deque<Answer> answers;
  std::vector<std::string> asked;  // UTF-8
  std::vector<Buttons> buttons;
};

class FakeFiles : public FileDialogs {
 public:
  std::optional<std::string> OpenFile(std::string_view filter, std::string_view folder) override {
    ++opens;
    last_filter = Utf8(std::string(filter));
    last_folder = std::string(folder);
    return open_result;
  }
  std::optional<std::string> SaveFile(std::string_view filter, std::string_view folder,
                                      std::string_view proposed) override {
    ++saves;
    last_filter = Utf8(std::string(filter));
    last_folder = std::string(folder);
    last_proposed = std::string(proposed);
    return save_result;
  }
  std::optional<std::string> open_result, save_result;
  int opens = 0, saves = 0;
  std::string last_filter, last_folder, last_proposed;
};

// One editor on fake views, with the user's actions.
struct Bench {
  FakeControls controls;
  FakeBoxes boxes;
  FakeFiles files;
  SettingsEditor editor{controls, boxes, files};

  void Type(int id, const std::string& utf8) {
    controls.texts[id] = Sjis(utf8);
    editor.OnTextChanged(id);
  }
  void Select(int id, int index) {
    controls.selection[id] = index;
    editor.OnSelectionChanged(id);
  }
  void Press(int id) { editor.OnCommand(id); }
  std::string Field(int id) const { return Utf8(controls.Text(id)); }
  std::string Line(int id, int index) const { return Utf8(controls.ListText(id, index)); }
  std::vector<std::string> Words() const {
    std::vector<std::string> out;
    for (const std::string& w : controls.lists.at(ctl::kAutoList)) out.push_back(Utf8(w));
    return out;
  }
  std::string Stored(const char* key_path) {
    const RuleStore::Value* v = editor.store().GetValue(key_path);
    return v ? Utf8(std::string(v->view())) : std::string("<absent>");
  }
};

}  // namespace norvelle::test
