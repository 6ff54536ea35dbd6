// Message boxes and file dialogs that never block, for the window tests:
// every question is recorded (as UTF-8) and given one answer; no file is
// ever chosen.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/encoding.h"
#include "settings/settings_view.h"

namespace norvelle::test {

class FakeBoxes : public MessageBoxes, public FileDialogs {
 public:
  explicit FakeBoxes(Answer answer = Answer::kCancel) : answer_(answer) {}
  Answer Ask(std::string_view text, Buttons) override {
    asked.push_back(Cp932ToUtf8Lossy(text));
    return answer_;
  }
  std::optional<std::string> OpenFile(std::string_view, std::string_view) override {
    ++opens;
    return {};
  }
  std::optional<std::string> SaveFile(std::string_view, std::string_view, std::string_view) override { return {}; }

  std::vector<std::string> asked;
  int opens = 0;

 private:
  Answer answer_;
};

}  // namespace norvelle::test
