#include "convert/tags.h"

#include "convert/element.h"

namespace norvelle {

void TagState::Clear() {
  stack_.clear();
  center = bold = italic = teletype = pre = false;
  heading = big = small = tables = 0;
  font.clear();
  link.clear();
  span.clear();
}

void TagState::CloseTop(std::string& out) {
  if (stack_.empty()) return;
  int code = stack_.back().code;
  stack_.pop_back();
  switch (code) {
    case kTable: out += "</tr></table>"; --tables; break;
    case kBold: out += "</b>"; bold = false; break;
    case kItalic: out += "</i>"; italic = false; break;
    case kTeletype: out += "</tt>"; teletype = false; break;
    case kPre: out += "</pre>"; pre = false; break;
    case kBig: out += "</big>"; --big; break;
    case kSmall: out += "</small>"; --small; break;
    case kFont: out += "</font>"; font.clear(); break;
    case kAnchor: out += "</a>"; link.clear(); break;
    case kSpan: out += "</span>"; span.clear(); break;
    case kCenter: out += "</center>"; center = false; break;
    case kHeading:
      out += "</h";
      out += char('0' + heading);
      out += '>';
      heading = 0;
      break;
    default: break;
  }
}

void TagState::CloseTo(int code, std::string& out) {
  while (!stack_.empty()) {
    bool last = stack_.back().code == code;
    CloseTop(out);
    if (last) break;
  }
}

void TagState::CloseAll(std::string& out) {
  while (!stack_.empty()) CloseTop(out);
}

void TagState::CloseAboveTable(std::string& out) {
  while (!stack_.empty() && stack_.back().code != kTable) CloseTop(out);
}

}  // namespace norvelle
