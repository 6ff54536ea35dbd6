// The open-element state of pass 2 and its open-tag stack.
//
// Formatting commands are states, not start/end pairs: an element that
// carries b is bold, the first one without b ends the bold text. The stack
// records the HTML elements written and not yet closed, innermost last;
// closing one entry closes everything opened after it, and the opening step
// reopens what the next element still carries. So every start tag written
// has its end tag, properly nested.
#pragma once

#include <string>
#include <vector>

namespace norvelle {

// One open HTML element. (The original design also kept a text per entry;
// nothing ever read it.)
struct TarnStackStruct {
  int code = 0;  // 8, 23..29, 32, 36, 62 or 63
};

class TagState {
 public:
  void Clear();
  void Push(int code) { stack_.push_back({code}); }
  // Removes the innermost entry and writes its end tag.
  void CloseTop(std::string& out);
  // Closes entries until one with this code has been closed.
  void CloseTo(int code, std::string& out);
  void CloseAll(std::string& out);
  // Closes the entries opened after the innermost table (the table stays).
  void CloseAboveTable(std::string& out);
  bool empty() const { return stack_.empty(); }

  bool center = false;
  bool bold = false;
  bool italic = false;
  bool teletype = false;
  bool pre = false;
  int heading = 0;  // 1..6, 0 = none
  int big = 0;
  int small = 0;
  int tables = 0;
  std::string font;  // attribute text of the open <font, empty when none
  std::string link;  // attribute text of the open <a, empty when none
  std::string span;  // argument of the open <span + " ", empty when none

 private:
  std::vector<TarnStackStruct> stack_;
};

}  // namespace norvelle
