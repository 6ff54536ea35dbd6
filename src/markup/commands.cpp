#include "markup/commands.h"

#include <array>
#include <cstdint>

#include "text/dbcs.h"
#include "base/number.h"
#include "markup/element.h"

namespace norvelle {

namespace {

using C = CommandClass;
using A = ArgRule;

// The one statement of every command word's code, class and argument rule.
// The order decides prefix matches: keep it.
constexpr CommandInfo kCommands[] = {
    {"ini", kIni, C::kAlone, A::kNone},
    {"title", kTitle, C::kAlone, A::kNone},
    {"base", kBase, C::kBlock, A::kNone},
    {"exreps", kExreps, C::kAlone, A::kAfterEqualsOrDigit},
    {"exrepe", kExrepe, C::kAlone, A::kAfterEqualsOrDigit},
    {"conv", kConv, C::kLineAction, A::kNone},
    {"noconv", kNoconv, C::kLineAction, A::kNone},
    {"autobr", kAutobr, C::kLineAction, A::kNone},
    {"noautobr", kNoautobr, C::kLineAction, A::kNone},
    {"table=", kTable, C::kBlock, A::kAfterEquals},
    {"endtable", kEndtable, C::kBlock, A::kNone},
    {"tabcnt=", kTabcnt, C::kLineAction, A::kAfterEquals},
    {"next", kNext, C::kLineAction, A::kNone},
    {"center", kCenter, C::kAttribute, A::kNone},
    {"hr", kHr, C::kLineAction, A::kAfterEqualsOrDigit},
    {"img=", kImg, C::kLineAction, A::kAfterEquals},
    {"alt=", kAlt, C::kLineAction, A::kAfterEquals},
    {"rep", kRep, C::kLineAction, A::kAfterEqualsOrDigit},
    {"setrep", kSetrep, C::kLineAction, A::kAfterEqualsOrDigit},
    {"include=", kInclude, C::kLineAction, A::kAfterEquals},
    {"indent=", kIndent, C::kLineAction, A::kAfterEquals},
    {"big", kBig, C::kAttribute, A::kAfterEqualsOrDigit},
    {"small", kSmall, C::kAttribute, A::kAfterEqualsOrDigit},
    {"font=", kFont, C::kAttribute, A::kAfterEquals},
    {"color=", kColor, C::kAttribute, A::kAfterEquals},
    {"size=", kSize, C::kAttribute, A::kAfterEquals},
    {"a=", kAnchor, C::kAttribute, A::kAfterEquals},
    {"link=", kLink, C::kAttribute, A::kAfterEquals},
    {"target=", kTarget, C::kAttribute, A::kAfterEquals},
    {"name=", kName, C::kAttribute, A::kAfterEquals},
    {"span=", kSpan, C::kAttribute, A::kAfterEquals},
    {"plain", kPlain, C::kAttribute, A::kNone},
    {"lconv", kLconv, C::kAttribute, A::kNone},
    {"cppsrc", kCppsrc, C::kBlock, A::kNone},
    {"endcppsrc", kEndcppsrc, C::kBlock, A::kNone},
    {"prev", kPrev, C::kLineAction, A::kNone},
    {"pre", kPre, C::kAttribute, A::kNone},
    {"start", kStart, C::kLineAction, A::kNone},
    {"stop", kStop, C::kLineAction, A::kNone},
    {"nobrstart", kNobrStart, C::kLineAction, A::kNone},
    {"nobrstop", kNobrStop, C::kLineAction, A::kNone},
    {"setjoin", kSetjoin, C::kAlone, A::kNone},
    {"srclineout", kSrcLineOut, C::kLineAction, A::kNone},
    {"nosrclineout", kNoSrcLineOut, C::kLineAction, A::kNone},
    {"br", kBr, C::kLineAction, A::kNone},
    {"ins", kIns, C::kLineAction, A::kNone},
    {"//", kComment, C::kAttribute, A::kNone},
    {"/*", kCommentOpen, C::kAlone, A::kNone},
    {"*/", kCommentClose, C::kAlone, A::kNone},
    {"b", kBold, C::kAttribute, A::kNone},
    {"i", kItalic, C::kAttribute, A::kNone},
    {"tt", kTeletype, C::kAttribute, A::kNone},
    {"-", kRawOpen, C::kLineAction, A::kAfterFirstChar},
    {"+", kRawPlus, C::kLineAction, A::kAfterFirstChar},
    {"/", kRawClose, C::kLineAction, A::kAfterFirstChar},
    {"h", kHeading, C::kAttribute, A::kHeadingDigit},
};

}  // namespace

namespace {

// The table's rows grouped by the first byte of their word, each group in
// table order: a word is compared only with the rows it could match, and the
// first of them that is a prefix is the first in the whole table.
constexpr std::size_t kRows = sizeof kCommands / sizeof kCommands[0];
struct FirstByteIndex {
  std::uint16_t start[257] = {};  // rows of byte b: order[start[b] .. start[b + 1])
  std::uint16_t order[kRows] = {};
  constexpr FirstByteIndex() {
    for (const CommandInfo& c : kCommands) ++start[static_cast<unsigned char>(c.word[0]) + 1];
    for (int b = 0; b < 256; ++b) start[b + 1] = std::uint16_t(start[b + 1] + start[b]);
    std::uint16_t fill[256] = {};
    for (std::size_t r = 0; r < kRows; ++r) {
      const auto b = static_cast<unsigned char>(kCommands[r].word[0]);
      order[start[b] + fill[b]++] = std::uint16_t(r);
    }
  }
};
constexpr FirstByteIndex kByFirstByte{};

}  // namespace

const CommandInfo* LookupCommand(std::string_view word) {
  if (word.empty()) return nullptr;  // every word of the table has a first byte
  const auto b = static_cast<unsigned char>(word[0]);
  for (std::uint16_t i = kByFirstByte.start[b]; i < kByFirstByte.start[b + 1]; ++i) {
    const CommandInfo& c = kCommands[kByFirstByte.order[i]];
    if (word.substr(0, c.word.size()) == c.word) return &c;
  }
  return nullptr;
}

int CommandCode(std::string_view word) {
  const CommandInfo* c = LookupCommand(word);
  return c ? c->code : kUnknown;
}

namespace {

// Class and argument rule per code, from kCommands (and the one mark that has
// a class: an extra element stands for a repeated line action).
struct CodeInfo {
  CommandClass cls = C::kUnknown;
  ArgRule arg = A::kNone;
};
constexpr int kLowestCode = kBase;  // the most negative code a word has
constexpr int kCodeSlots = kCodeCount - kLowestCode;

constexpr std::array<CodeInfo, kCodeSlots> kByCode = [] {
  std::array<CodeInfo, kCodeSlots> by_code{};
  for (CodeInfo& info : by_code) info = CodeInfo{C::kUnknown, A::kNone};
  for (const CommandInfo& c : kCommands) by_code[std::size_t(c.code - kLowestCode)] = {c.cls, c.arg};
  by_code[std::size_t(kExtra - kLowestCode)].cls = C::kLineAction;
  return by_code;
}();

const CodeInfo& InfoOf(int code) {
  static constexpr CodeInfo kNone{};
  if (code < kLowestCode || code >= kCodeCount) return kNone;
  return kByCode[std::size_t(code - kLowestCode)];
}

}  // namespace

CommandClass ClassOf(int code) { return InfoOf(code).cls; }

ArgRule ArgRuleOf(int code) { return InfoOf(code).arg; }

std::string_view CommandArgument(std::string_view word, int code) {
  switch (ArgRuleOf(code)) {
    case A::kNone:
      return {};
    case A::kAfterFirstChar:
      return word.empty() ? word : word.substr(CharLen(word.data(), word.data() + word.size()));
    case A::kHeadingDigit:
      return word.size() >= 2 ? word.substr(1, 1) : std::string_view();
    case A::kAfterEquals: {
      std::size_t eq = FindChar(word, '=');
      return eq == std::string_view::npos ? std::string_view() : word.substr(eq + 1);
    }
    case A::kAfterEqualsOrDigit: {
      std::size_t p = FindCharIf(word, [](char c) { return c == '=' || IsDigit(c); });
      if (p == std::string_view::npos) return {};
      return word.substr(word[p] == '=' ? p + 1 : p);
    }
  }
  return {};
}

}  // namespace norvelle
