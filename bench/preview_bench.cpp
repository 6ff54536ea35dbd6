// The preview of a large document: how long the first preview and a
// re-preview after a save take, split into the run into memory and the
// window's part (the page, or the window of a long page, handed to
// QTextBrowser, its marks collected, the view put back on its source line),
// and a move of the view to the page's middle. Offscreen; no display needed.
//
// Usage: preview_bench DOCUMENT [ROUNDS]   (DOCUMENT: e.g. gen_doc.py 1 doc.txt)
// Prints the median of the rounds in milliseconds; asserts nothing. With
// NO_ANCHORS=1 the page-alone figure is for the page without line marks.
#include <QApplication>
#include <QScrollBar>
#include <QTextBrowser>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/carry.h"
#include "platform/encoding.h"
#include "preview/memory_run.h"
#include "ui/qt/preview_window.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "norvelle: usage: preview_bench DOCUMENT [ROUNDS]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qargc = 1;
  QApplication app(qargc, argv);
  const std::string path = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string original = Read(path);
  norvelle::PreviewRequest request;
  request.source = norvelle::NameFromNative(path);

  std::vector<double> run, first, again, html, jump;
  for (int r = 0; r < rounds; ++r) {
    Write(path, original);
    auto t = Clock::now();
    const norvelle::PreviewPage page = norvelle::ConvertToMemory(request);
    run.push_back(Ms(t));
    if (!page.shown()) {
      std::fprintf(stderr, "norvelle: %s did not convert\n", path.c_str());
      return 2;
    }
    {
      QTextBrowser alone;
      std::string utf8 = norvelle::Cp932ToUtf8Lossy(page.html);
      // NO_ANCHORS=1: the page as written, to tell the anchors' cost apart.
      if (std::getenv("NO_ANCHORS")) {
        std::string bare;
        for (std::size_t at = 0, a; at < utf8.size(); at = utf8.find("</span>", a) + 7) {
          a = utf8.find("<span title=\"nvl", at);
          bare.append(utf8, at, a == std::string::npos ? std::string::npos : a - at);
          if (a == std::string::npos) break;
        }
        utf8.swap(bare);
      }
      t = Clock::now();
      alone.setHtml(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
      html.push_back(Ms(t));
    }
    norvelle::PreviewWindow window({QStringLiteral("bench"), QStringLiteral("bench")},
                                   [&](bool) { return norvelle::ConvertToMemory(request); });
    window.resize(800, 900);
    window.show();
    t = Clock::now();
    window.Reconvert();
    first.push_back(Ms(t));
    // The view moved to the page's middle (a long page loads a window
    // there), then a save that adds a line above it.
    const int middle = int(std::count(original.begin(), original.end(), '\n') / 2);
    t = Clock::now();
    window.ScrollToLine(middle);
    jump.push_back(Ms(t));
    Write(path, "an added line\n" + original);
    t = Clock::now();
    window.Reconvert();
    again.push_back(Ms(t));
    window.close();
  }
  Write(path, original);
  std::printf("document %zu bytes, %d rounds (median ms)\n", original.size(), rounds);
  std::printf("  run into memory      %8.1f\n", Median(run));
  std::printf("  QTextBrowser::setHtml %8.1f  (the page alone)\n", Median(html));
  std::printf("  first preview        %8.1f  (run + window)\n", Median(first));
  std::printf("  to the middle line   %8.1f  (window only)\n", Median(jump));
  std::printf("  re-preview           %8.1f  (run + window, view kept)\n", Median(again));
  return 0;
}
