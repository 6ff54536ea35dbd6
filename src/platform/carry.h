// Characters that CP932 lacks, carried through the program's CP932 text.
//
// Each such character (é, emoji, Hangul, ...) takes one code of CP932's
// user-defined area (lead bytes 0xF0-0xF9, 1880 codes) for as long as the
// table lives and comes back as itself when the text leaves the program. The
// engine steps over these codes as over any double-byte character.
//
// Which characters are carried: those iconv's CP932 cannot encode, those that
// do not come back as themselves (U+00A5 would come back as "\"), and the
// Unicode user-defined characters U+E000-U+E757 themselves: a real
// user-defined character of a UTF-8 text therefore never shares a code with a
// carried one. Codes are handed out from the top (0xF9FC) down, because fonts
// of real user-defined characters fill the area from 0xF040 up; a real
// user-defined character of CP932 text (a rule file, a CP932 document) that
// meets a code in use reads as the carried character. Limit: 1880 distinct
// characters per process; the last code is kept for U+FFFD, which stands in
// for every character after that.
//
// Names on disk are any bytes: a byte that is not part of valid UTF-8 is
// carried as its own pseudo-character and written back as the same byte, so
// every name the file system allows survives the round trip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace norvelle {

class CharCarry {
 public:
  static constexpr int kCodes = 1880;
  static constexpr char32_t kReplacement = 0xFFFD;

  struct Stats {
    std::size_t invalid = 0;   // invalid UTF-8 sequences (text) met
    std::size_t overflow = 0;  // characters that found no free code
  };

  // UTF-8 text -> CP932. Invalid sequences become U+FFFD (carried).
  Stats TextToCp932(std::string_view utf8, std::string& out);
  // UTF-8 name (any bytes) -> CP932, losslessly while codes last.
  Stats NameToCp932(std::string_view utf8, std::string& out);
  // CP932 -> UTF-8: carried codes back to their characters; bytes CP932
  // cannot decode become U+FFFD. For a name, carried bytes are written raw;
  // for a text they become U+FFFD (the output must stay valid UTF-8).
  // False when some bytes could not be decoded.
  bool ToUtf8(std::string_view cp932, std::string& out, bool name) const;

  // The carried character behind a double-byte code, or 0.
  char32_t CarriedAt(unsigned char lead, unsigned char trail) const;
  // Carried bytes of names are pseudo-characters in this range.
  static bool IsRawByte(char32_t c) { return c >= 0xDC80 && c <= 0xDCFF; }
  bool empty() const { return chars_.empty(); }

 private:
  void Put(char32_t c, std::string& out, Stats& stats);
  bool Encodes(char32_t c, std::string& cp932);
  Stats ToCp932(std::string_view utf8, std::string& out, bool name);

  std::unordered_map<char32_t, std::uint16_t> code_of_;  // character -> slot
  std::vector<char32_t> chars_;                           // slot from the top -> character
  std::unordered_map<char32_t, std::string> encoded_;     // memo of iconv's answer ("" = carry)
};

// The process's one table: names and documents share it, so a name written
// in a UTF-8 document (include=, ini) finds the file it names.
CharCarry& ProcessCarry();

// Names at the file-system boundary, through the process's table.
std::string NameFromNative(std::string_view utf8);
std::string NameToNative(std::string_view cp932);
// The same in the shape of the strict conversions. Every native name has a
// CP932 form; a CP932 name with bytes CP932 cannot decode has no native one.
bool NameFromNative(std::string_view utf8, std::string& cp932);
bool NameToNative(std::string_view cp932, std::string& utf8);
// A CP932 path for a system call: false for an empty path, one with no
// native form, and one holding a NUL byte (the call would read only the part
// before it, and a document could so cut off a suffix we add).
bool ToSystemPath(std::string_view cp932_path, std::string& native);
// CP932 text for a UTF-8 display (terminal, window); never fails.
std::string DisplayUtf8(std::string_view cp932);

// Is the text valid UTF-8 (no overlong forms, surrogates or values above U+10FFFF)?
bool IsValidUtf8(std::string_view s);
// The UTF-8 byte order mark, which marks a rule file written in UTF-8.
inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// Appends the UTF-8 form of c.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace norvelle
