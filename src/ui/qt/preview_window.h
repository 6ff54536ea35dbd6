// The preview window: a converted page shown as the program writes it
// (QTextBrowser renders HTML 4.01: fonts, colours, centring, tables, images
// relative to the document), the report of the last run in a strip under it,
// and a status line. Used for a document (`--preview FILE`, converting again
// whenever a file it was made of changes) and for the settings window's rule
// (converting a sample with the unsaved rule after each edit).
//
// The logic lives in src/preview: the run into memory, which files to watch,
// the debounce, the scroll anchor and the slices of a long page. A run that
// fails leaves the last good page in place with the new report; the view
// keeps its source line. A long page is loaded a window of lines at a time;
// a bar beside it then says where in the whole page the view is.
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
#include "preview/page_slices.h"
#include "preview/scroll_anchor.h"
#include "preview/watch_files.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QScrollBar;
class QTextBrowser;
class QTimer;

namespace norvelle {

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
  // A long page: only a window of it is loaded, and this bar places the view.
  bool windowed() const { return first_ > 0 || last_ < slices_.count(); }
  QScrollBar* place() const { return place_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWidgets();
  void BuildKeys();
  bool eventFilter(QObject* watched, QEvent* event) override;
  void Show(PreviewPage page);
  void Render(PreviewPage page);
  void LoadWindow(const ScrollAnchor& anchor);
  ScrollAnchor CurrentAnchor() const;
  void ViewMoved(int y);
  void UpdatePlace();
  void ShowEnd();
  void ShowReport(const PreviewPage& page);
  void CollectAnchors();
  int YOf(int position) const;
  LinePositions Positions() const;
  void ReportClicked(QListWidgetItem* item);
  void PlaceBeside();
  void DebounceFired();
  void FilesChanged(const std::vector<std::string>& paths);

  Options options_;
  Convert convert_;
  QTextBrowser* page_ = nullptr;
  QScrollBar* place_ = nullptr;
  QLabel* status_ = nullptr;
  QListWidget* report_ = nullptr;
  QPushButton* reconvert_ = nullptr;
  QPushButton* write_ = nullptr;
  QTimer* timer_ = nullptr;
  Debounce debounce_;
  PreviewPage good_;                          // the page shown
  std::vector<std::pair<int, int>> anchors_;  // source line, position in the shown document
  PageSlices slices_;                         // of good_'s body
  std::size_t first_ = 0, last_ = 1;          // the slices loaded
  int page_lines_ = 0;                        // the source's lines
  bool placing_ = false;                      // the view is being moved by the window itself
  bool shift_pending_ = false;
  int runs_ = 0;
  std::unique_ptr<WatchThread> watch_;
  std::vector<std::string> watched_;  // native; the files the last run read
  ContentPrints prints_;              // of watched_, before the last run
};

// `norvelle --preview FILE`: the window until it is closed; the exit status.
// rules: --rules (native, may be empty); html5: --html5.
int RunDocumentPreview(const std::string& native_path, bool write, const std::string& rules = {}, bool html5 = false);

}  // namespace norvelle
