#include "markup/command_line.h"

#include "text/dbcs.h"

namespace norvelle {

bool ScanCommandLine(std::string_view line, std::vector<std::string_view>& words,
                     std::string_view& text) {
  words.clear();
  const char* b = line.data();
  const char* e = b + line.size();
  if (b == e || *b != '|') return false;
  const char* p = b + 1;
  for (;;) {
    // The fewest words after which the closing bar follows.
    if (p < e && *p == '|') {
      text = std::string_view(p + 1, std::size_t(e - p - 1));
      return true;
    }
    // One word: the fewest characters up to a "," (taken) or a "|" (left).
    const char* start = p;
    while (p < e && *p != ',' && *p != '|') p = NextChar(p, e);
    if (p == e) {  // no closing bar: no command line, and no words
      words.clear();
      return false;
    }
    words.emplace_back(start, std::size_t(p - start));
    if (*p == ',') ++p;
  }
}

}  // namespace norvelle
