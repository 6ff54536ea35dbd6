#include "io/source_path.h"

#include "text/dbcs.h"
#include "platform/paths.h"

namespace norvelle {

namespace {

// Position of the last byte c1 or c2 at a character boundary, or npos.
std::size_t LastOf(std::string_view s, char c1, char c2) {
  return FindLastCharIf(s, [c1, c2](char c) { return c == c1 || c == c2; });
}

// Upper case of single bytes as the C locale has it, whatever the process locale.
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

}  // namespace

std::string CleanPath(std::string_view text, std::string_view folder) {
  bool quoted = !text.empty() && text[0] == '"';
  if (quoted) text.remove_prefix(1);
  std::string full;
  if (folder.empty()) {
    if (!FullPath(text, full)) return {};
  } else {
    full = FullPathFrom(folder, text);
  }
  if (quoted && !full.empty()) full.pop_back();
  std::size_t keep = full.find_last_not_of(" .");
  if (keep == std::string::npos) return {};
  full.resize(keep + 1);
  return full;
}

std::string OutputPathFor(const std::string& source) {
  std::string out = source;
  std::size_t dot = LastOf(out, '.', '.');
  std::size_t slash = LastOf(out, '/', '/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) out.resize(dot);
  out += ".htm";
  return out;
}

bool SameFileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const char* p = a.data();
  const char* q = b.data();
  const char* e = p + a.size();
  while (p < e) {
    std::size_t n = CharLen(p, e);
    if (n == 2) {
      if (p[0] != q[0] || p[1] != q[1]) return false;
    } else if (AsciiUpper(*p) != AsciiUpper(*q)) {
      return false;
    }
    p += n;
    q += n;
  }
  return true;
}

std::string DefaultTitle(const std::string& source) {
  std::size_t slash = LastOf(source, '\\', '/');
  std::string_view name(source);
  if (slash != std::string::npos) name.remove_prefix(slash + 1);
  if (name.empty()) return source;
  std::size_t dot = LastOf(name, '.', '.');
  if (dot != std::string::npos) name = name.substr(0, dot);
  return std::string(name);
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = LastOf(path, '\\', '/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string DocumentPath(std::string_view text) {
  std::string out;
  const char* b = text.data();
  const char* e = b + text.size();
  for (const char* p = b; p < e;) {
    const char* q = NextChar(p, e);
    if (q - p == 1 && *p == '\\') out += '/';
    else out.append(p, std::size_t(q - p));
    p = q;
  }
  return out;
}

}  // namespace norvelle
