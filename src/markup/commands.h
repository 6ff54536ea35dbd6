// The command table of the markup language: lookup by prefix, classes and
// argument rules.
//
// A command word is matched against the table from top to bottom and the first
// entry that is a prefix of the word wins ("titles" is title, "bold" is b).
// Words matching nothing have code kUnknown. "setsplit" is not in the table:
// the line analysis recognises it itself.
#pragma once

#include <string_view>

namespace norvelle {

enum class CommandClass {
  kAlone,      // the line's only command; the line becomes one control element
  kBlock,      // the line's only command; handled by the line analysis
  kAttribute,  // goes to every element of the line
  kLineAction, // goes to the line's first element
  kUnknown,    // treated as an attribute; storing it reports the error
};

enum class ArgRule {
  kNone,
  kAfterEqualsOrDigit,  // "big2" -> "2", "hr=width=50%" -> "width=50%"
  kAfterEquals,         // "font=face=Arial" -> "face=Arial"
  kAfterFirstChar,      // "-div" -> "div"
  kHeadingDigit,        // "h3" -> "3"
};

struct CommandInfo {
  std::string_view word;
  int code;
  CommandClass cls;
  ArgRule arg;
};

// The entry whose word is a prefix of `word`, or null.
const CommandInfo* LookupCommand(std::string_view word);
// Code of a word, kUnknown when none.
int CommandCode(std::string_view word);
// Class and argument rule of a code, both read from the table; kUnknown and
// kNone for codes no word has.
CommandClass ClassOf(int code);
ArgRule ArgRuleOf(int code);
// The argument of a command word by its code's rule.
std::string_view CommandArgument(std::string_view word, int code);

}  // namespace norvelle
