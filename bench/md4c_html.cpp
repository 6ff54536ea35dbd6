// The reference peer of the benchmark: md4c's HTML renderer driven as its own
// command-line tool drives it (read the whole file, render with the GitHub
// dialect, write the result), so that both converters do a whole process of
// equal work.
#include <md4c-html.h>

#include <cstdio>
#include <string>

static void Append(const MD_CHAR* text, MD_SIZE size, void* out) {
  static_cast<std::string*>(out)->append(text, size);
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: md4c_html IN.md OUT.html\n");
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (!in) return 2;
  std::string text;
  char buf[1 << 16];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) text.append(buf, n);
  std::fclose(in);
  std::string html;
  html.reserve(text.size() + text.size() / 8);
  if (md_html(text.data(), MD_SIZE(text.size()), Append, &html, MD_DIALECT_GITHUB, 0) != 0) return 1;
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out || std::fwrite(html.data(), 1, html.size(), out) != html.size() || std::fclose(out) != 0) return 2;
  return 0;
}
