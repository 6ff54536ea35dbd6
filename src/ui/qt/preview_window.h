// The preview window: a converted page shown as the program writes it
// (QTextBrowser renders HTML 4.01: fonts, colours, centring, tables, images
// relative to the document), the report of the last run in a strip under it,
// and a status line. Used for a document (`--preview FILE`, converting again
// whenever a file it was made of changes) and for the settings window's rule
// (converting a sample with the unsaved rule after each edit).
//
// The logic lives in src/preview: the run into memory, which files to watch,
// the debounce and the scroll anchor. A run that fails leaves the last good
// page in place with the new report; the view keeps its source line.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "preview/debounce.h"
#include "preview/memory_run.h"
#include "preview/scroll_anchor.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTextBrowser;
class QTimer;

namespace norvelle {

class WatchThread;

class PreviewWindow : public QWidget {
 public:
  // One run; `write`: also write the page, as a normal conversion does.
  using Convert = std::function<PreviewPage(bool write)>;
  struct Options {
    QString title;
    QString geometry_key;      // where the window's geometry is remembered
    bool can_write = false;    // a button that writes the page
    bool always_write = false;  // every run writes the page
  };
  PreviewWindow(Options options, Convert convert, QWidget* parent = nullptr);
  ~PreviewWindow() override;

  void Reconvert();      // at once (Ctrl+R)
  void ReconvertSoon();  // after the pause that ends an edit
  // Converts again whenever a file the last run read changes.
  void WatchFiles();
  void ScrollToLine(int line);

  QTextBrowser* page() const { return page_; }
  QListWidget* report() const { return report_; }
  QLabel* status() const { return status_; }
  int runs() const { return runs_; }
  const PreviewPage& last_good() const { return good_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWidgets();
  void BuildKeys();
  void Show(PreviewPage page);
  void Render(const PreviewPage& page);
  void ShowReport(const PreviewPage& page);
  void CollectAnchors();
  int YOf(int position) const;
  LinePositions Positions() const;
  void ReportClicked(QListWidgetItem* item);
  void PlaceBeside();
  void DebounceFired();

  Options options_;
  Convert convert_;
  QTextBrowser* page_ = nullptr;
  QLabel* status_ = nullptr;
  QListWidget* report_ = nullptr;
  QPushButton* reconvert_ = nullptr;
  QPushButton* write_ = nullptr;
  QTimer* timer_ = nullptr;
  Debounce debounce_;
  PreviewPage good_;                          // the page shown
  std::vector<std::pair<int, int>> anchors_;  // source line, position in the shown document
  int runs_ = 0;
  std::unique_ptr<WatchThread> watch_;
};

// `norvelle --preview FILE`: the window until it is closed; the exit status.
int RunDocumentPreview(const std::string& native_path, bool write);

}  // namespace norvelle
