#include "convert/commands.h"

#include "base/dbcs.h"
#include "convert/element.h"

namespace norvelle {

namespace {

using C = CommandClass;
using A = ArgRule;

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

const CommandInfo* LookupCommand(std::string_view word) {
  for (const CommandInfo& c : kCommands)
    if (word.substr(0, c.word.size()) == c.word) return &c;
  return nullptr;
}

int CommandCode(std::string_view word) {
  const CommandInfo* c = LookupCommand(word);
  return c ? c->code : kUnknown;
}

CommandClass ClassOf(int code) {
  switch (code) {
    case kIni: case kTitle: case kExreps: case kExrepe:
    case kCommentOpen: case kCommentClose: case kSetjoin:
      return C::kAlone;
    case kTable: case kEndtable: case kCppsrc: case kEndcppsrc: case kBase:
      return C::kBlock;
    case kComment: case kCenter: case kHeading:
      return C::kAttribute;
    case kConv: case kNoconv: case kAutobr: case kNoautobr: case kTabcnt:
    case kSrcLineOut: case kNoSrcLineOut: case kExtra: case kBr:
      return C::kLineAction;
    default:
      if (code >= kBold && code <= kLconv) return C::kAttribute;
      if (code >= kNext && code <= kIndent) return C::kLineAction;
      if (code >= kBase + 1 && code <= kStart) return C::kLineAction;
      return C::kUnknown;
  }
}

ArgRule ArgRuleOf(int code) {
  for (const CommandInfo& c : kCommands)
    if (c.code == code) return c.arg;
  return A::kNone;
}

std::string_view CommandArgument(std::string_view word, int code) {
  switch (ArgRuleOf(code)) {
    case A::kNone:
      return {};
    case A::kAfterFirstChar:
      return word.empty() ? word : word.substr(CharLen(word.data(), word.data() + word.size()));
    case A::kHeadingDigit:
      return word.size() >= 2 ? word.substr(1, 1) : std::string_view();
    case A::kAfterEquals: {
      std::size_t eq = word.find('=');  // '=' is never a trail byte
      return eq == std::string_view::npos ? std::string_view() : word.substr(eq + 1);
    }
    case A::kAfterEqualsOrDigit: {
      const char* b = word.data();
      const char* e = b + word.size();
      for (const char* p = b; p < e; p = NextChar(p, e)) {
        if (*p == '=') return std::string_view(p + 1, std::size_t(e - p - 1));
        if (*p >= '0' && *p <= '9') return std::string_view(p, std::size_t(e - p));
      }
      return {};
    }
  }
  return {};
}

}  // namespace norvelle
