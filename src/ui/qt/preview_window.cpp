#include "ui/qt/preview_window.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <tuple>

#include "io/source_path.h"
#include "platform/carry.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "preview/placement.h"
#include "preview/sample.h"
#include "report/messages.h"
#include "ui/qt/look.h"

namespace norvelle {

namespace {

QString FromSjis(std::string_view cp932) {
  const std::string utf8 = Cp932ToUtf8Lossy(cp932);
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

QString Caption(const char* utf8) { return QString::fromUtf8(utf8); }

// Within 100 ms of the last keystroke, the run included.
constexpr std::chrono::milliseconds kEditPause{40};

constexpr int kLineRole = Qt::UserRole;  // the source line a report line quotes

QSettings Remembered() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "norvelle", "preview"); }

// A long page is loaded this much at a time, in slices of the second size:
// about 60 ms to load and lay out here, wherever the view is in the page.
constexpr std::size_t kWindowBytes = 160 * 1024;
constexpr std::size_t kSliceBytes = 8 * 1024;

// The page, keeping the line marks to itself: a mark's title is shown as no
// tool tip, and text copied from the page leaves the marks' zero-width
// spaces out.
class PageView : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;

 protected:
  bool viewportEvent(QEvent* event) override {
    if (event->type() == QEvent::ToolTip) {
      const QPoint at = static_cast<QHelpEvent*>(event)->pos();
      if (LineOfAnchor(cursorForPosition(at).charFormat().toolTip().toStdString()) > 0) return true;
    }
    return QTextBrowser::viewportEvent(event);
  }
  QMimeData* createMimeDataFromSelection() const override {
    QMimeData* data = QTextBrowser::createMimeDataFromSelection();
    if (data) data->setText(data->text().remove(QChar(0x200B)));
    return data;
  }
};

int LinesOf(std::string_view text) {
  const auto n = std::count(text.begin(), text.end(), '\n');
  return int(n) + (!text.empty() && text.back() != '\n');
}

}  // namespace

PreviewWindow::PreviewWindow(Options options, Convert convert, QWidget* parent)
    : QWidget(parent, Qt::Window), options_(std::move(options)), convert_(std::move(convert)),
      debounce_(kEditPause) {
  setWindowTitle(options_.title);
  setWindowIcon(qt::AppIcon());
  setAccessibleName(options_.title);
  setObjectName(QStringLiteral("preview"));
  BuildWidgets();
  BuildKeys();
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] { DebounceFired(); });
  PlaceBeside();
}

PreviewWindow::~PreviewWindow() {
  // The watching thread goes first: it posts to this window.
  watch_.reset();
}

void PreviewWindow::BuildWidgets() {
  auto* layout = new QVBoxLayout(this);
  auto* split = new QSplitter(Qt::Vertical, this);
  auto* view = new QWidget(split);
  auto* view_layout = new QHBoxLayout(view);
  view_layout->setContentsMargins(0, 0, 0, 0);
  view_layout->setSpacing(0);
  page_ = new PageView(view);
  page_->setObjectName(QStringLiteral("page"));
  page_->setAccessibleName(Caption("変換結果"));
  page_->setOpenLinks(false);  // a preview stays on its page
  page_->setPalette(qt::PagePalette(page_->palette()));  // a dark desktop too
  page_->installEventFilter(this);
  connect(page_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int y) { ViewMoved(y); });
  place_ = new QScrollBar(Qt::Vertical, view);
  place_->setObjectName(QStringLiteral("place"));
  place_->setAccessibleName(Caption("ページ内の位置"));
  place_->hide();
  connect(place_, &QScrollBar::valueChanged, this, [this](int line) {
    if (!placing_) ScrollToLine(line);
  });
  view_layout->addWidget(page_);
  view_layout->addWidget(place_);  auto* strip = new QWidget(split);
  auto* strip_layout = new QVBoxLayout(strip);
  strip_layout->setContentsMargins(0, 0, 0, 0);
  status_ = new QLabel(strip);
  status_->setObjectName(QStringLiteral("status"));
  status_->setAccessibleDescription(Caption("状態"));  // its text is its name
  report_ = new QListWidget(strip);
  report_->setObjectName(QStringLiteral("report"));
  report_->setAccessibleName(Caption("エラーレポート"));
  connect(report_, &QListWidget::itemActivated, this, [this](QListWidgetItem* i) { ReportClicked(i); });
  connect(report_, &QListWidget::itemClicked, this, [this](QListWidgetItem* i) { ReportClicked(i); });
  strip_layout->addWidget(status_);
  strip_layout->addWidget(report_);
  split->addWidget(view);
  split->addWidget(strip);
  split->setStretchFactor(0, 5);
  split->setStretchFactor(1, 1);
  layout->addWidget(split);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  reconvert_ = new QPushButton(Caption("再変換(&R)"), this);
  reconvert_->setAccessibleName(Caption("再変換"));
  connect(reconvert_, &QPushButton::clicked, this, [this] { Reconvert(); });
  buttons->addWidget(reconvert_);
  if (options_.can_write) {
    write_ = new QPushButton(Caption("HTMLを書き出す(&W)"), this);
    write_->setObjectName(QStringLiteral("write"));
    write_->setAccessibleName(Caption("HTMLを書き出す"));
    connect(write_, &QPushButton::clicked, this, [this] { Show(convert_(true)); });
    buttons->addWidget(write_);
  }
  layout->addLayout(buttons);
}

void PreviewWindow::BuildKeys() {
  auto key = [this](QKeySequence seq, auto f) { connect(new QShortcut(seq, this), &QShortcut::activated, this, f); };
  key(QKeySequence(Qt::Key_Escape), [this] { close(); });
  key(QKeySequence(Qt::CTRL | Qt::Key_R), [this] { Reconvert(); });
  key(QKeySequence::ZoomIn, [this] { page_->zoomIn(1); });
  key(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { page_->zoomIn(1); });
  key(QKeySequence::ZoomOut, [this] { page_->zoomOut(1); });
}

void PreviewWindow::PlaceBeside() {
  const QSettings s = Remembered();
  if (restoreGeometry(s.value(options_.geometry_key + QStringLiteral("/geometry")).toByteArray())) return;
  resize(640, 720);
  QWidget* p = parentWidget();
  if (!p) return;
  const QRect d = p->frameGeometry();
  const QRect a = p->screen()->availableGeometry();
  const Placement place = norvelle::PlaceBeside({d.x(), d.y(), d.width(), d.height()}, {a.x(), a.y(), a.width(), a.height()},
                                                640, std::max(480, d.height()), 400);
  if (place.owner_x != d.x()) p->move(place.owner_x, d.y());
  resize(place.preview.width, place.preview.height);
  move(place.preview.x, place.preview.y);
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
  QSettings s = Remembered();
  s.setValue(options_.geometry_key + QStringLiteral("/geometry"), saveGeometry());
  QWidget::closeEvent(event);
}

void PreviewWindow::Reconvert() {
  timer_->stop();
  if (watch_) prints_.Take(watched_);
  Show(convert_(options_.always_write));
}

void PreviewWindow::FilesChanged(const std::vector<std::string>& paths) {
  if (prints_.AnyChanged(paths)) Reconvert();
}

void PreviewWindow::ReconvertSoon() {
  const auto now = Debounce::Clock::now();
  debounce_.Poke(now);
  timer_->start(int(debounce_.Remaining(now)->count()));
}

void PreviewWindow::DebounceFired() {
  const auto now = Debounce::Clock::now();
  if (debounce_.Take(now)) Reconvert();
  else if (auto left = debounce_.Remaining(now)) timer_->start(int(left->count()));
}

void PreviewWindow::WatchFiles() {
  watch_ = std::make_unique<WatchThread>([this](const std::vector<std::string>& paths) {
    QMetaObject::invokeMethod(this, [this, paths] { FilesChanged(paths); }, Qt::QueuedConnection);
  });
  if (runs_ > 0) watch_->SetFiles(watched_ = FilesToWatch(good_.reads, {}));
}

void PreviewWindow::Show(PreviewPage page) {
  ++runs_;
  watched_ = FilesToWatch(page.reads, page.written ? NameToNative(page.page_path) : "");
  if (watch_) watch_->SetFiles(watched_);
  ShowReport(page);
  if (page.outcome == RunOutcome::kCancelled || !page.shown()) return;  // the last good page stays
  Render(std::move(page));
}

void PreviewWindow::ShowReport(const PreviewPage& page) {
  const Msg status = page.outcome == RunOutcome::kDone         ? Msg::kStatusDone
                     : page.outcome == RunOutcome::kDoneErrors ? Msg::kStatusDoneErrors
                                                               : Msg::kStatusFailed;
  QString text = FromSjis(Message(status)) + QStringLiteral(" (%1 ms)").arg(page.milliseconds, 0, 'f', 0);
  if (!page.shown() && runs_ > 1) text += Caption(" 前回の結果を表示しています");
  if (page.written) text += Caption(" 書き出しました: ") + FromSjis(page.page_path);
  status_->setText(text);
  report_->clear();
  for (const std::string& line : page.report) {
    auto* item = new QListWidgetItem(FromSjis(line), report_);
    item->setData(kLineRole, ReportedLine(line));
  }
}

// The page, its images found from the document's folder, the view kept on
// the source line it showed.
void PreviewWindow::Render(PreviewPage page) {
  ScrollAnchor anchor = CurrentAnchor();
  if (anchor.line > 0) anchor.line = LineMap(good_.source_text, page.source_text)(anchor.line);
  const QString folder = QString::fromUtf8(NameToNative(FolderOf(page.page_path)).c_str());
  page_->setSearchPaths({folder});
  page_->document()->setBaseUrl(QUrl::fromLocalFile(folder + QLatin1Char('/')));
  good_ = std::move(page);
  slices_ = PageSlices(std::string_view(good_.html).substr(good_.body_begin, good_.body_end - good_.body_begin),
                       kSliceBytes);
  page_lines_ = LinesOf(good_.source_text);
  LoadWindow(anchor);
}

// The slices around the anchor's line, between the page's head and end,
// laid out whole so that the view can be placed in them at once.
void PreviewWindow::LoadWindow(const ScrollAnchor& anchor) {
  std::tie(first_, last_) = slices_.WindowAround(std::max(anchor.line, 1), kWindowBytes);
  const std::size_t from = good_.body_begin + slices_.begin_of(first_);
  const std::size_t to = good_.body_begin + slices_.end_of(last_ - 1);
  std::string html(good_.html, 0, good_.body_begin);
  html.append(good_.html, from, to - from).append(good_.html, good_.body_end);
  placing_ = true;
  page_->setHtml(FromSjis(html));
  QTextDocument* doc = page_->document();
  doc->documentLayout()->blockBoundingRect(doc->lastBlock());
  CollectAnchors();
  page_->verticalScrollBar()->setValue(ScrollFor(Positions(), anchor));
  placing_ = false;
  UpdatePlace();
}

// The line at the view's top; above a window's first mark, that mark.
ScrollAnchor PreviewWindow::CurrentAnchor() const {
  ScrollAnchor a = AnchorAt(Positions(), page_->verticalScrollBar()->value());
  if (a.line == 0 && first_ > 0 && !anchors_.empty())
    a = {anchors_.front().first, a.offset - YOf(anchors_.front().second)};
  return a;
}

// Near a window's edge, the window moves to have the view in its middle.
void PreviewWindow::ViewMoved(int y) {
  if (placing_ || !windowed()) return;
  UpdatePlace();
  const QScrollBar* bar = page_->verticalScrollBar();
  const int margin = page_->viewport()->height();
  const bool near_edge = (first_ > 0 && y < margin) || (last_ < slices_.count() && y > bar->maximum() - margin);
  if (!near_edge || shift_pending_) return;
  shift_pending_ = true;
  QTimer::singleShot(0, this, [this] {
    shift_pending_ = false;
    LoadWindow(CurrentAnchor());
  });
}

void PreviewWindow::UpdatePlace() {
  const bool whole = !windowed();
  page_->setVerticalScrollBarPolicy(whole ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  place_->setVisible(!whole);
  if (whole) return;
  const int shown = anchors_.empty() ? 1 : anchors_.back().first - anchors_.front().first + 1;
  const int height = std::max(1, int(page_->document()->size().height()));
  placing_ = true;
  place_->setRange(1, std::max(1, page_lines_));
  place_->setPageStep(std::max(1, int(qint64(shown) * page_->viewport()->height() / height)));
  place_->setValue(std::max(1, CurrentAnchor().line));
  placing_ = false;
}

// Ctrl+Home and Ctrl+End go to the whole page's start and end.
bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == page_ && event->type() == QEvent::KeyPress && windowed()) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::MoveToStartOfDocument)) {
      ScrollToLine(1);
      page_->verticalScrollBar()->setValue(0);
      return true;
    }
    if (key->matches(QKeySequence::MoveToEndOfDocument)) {
      ShowEnd();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void PreviewWindow::ShowEnd() {
  if (last_ < slices_.count()) LoadWindow({page_lines_, 0});
  page_->verticalScrollBar()->setValue(page_->verticalScrollBar()->maximum());
}

void PreviewWindow::CollectAnchors() {
  anchors_.clear();
  for (QTextBlock b = page_->document()->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      const int line = LineOfAnchor(f.charFormat().toolTip().toStdString());
      if (line > (anchors_.empty() ? 0 : anchors_.back().first)) anchors_.emplace_back(line, f.position());
    }
  }
}

int PreviewWindow::YOf(int position) const {
  QTextDocument* doc = page_->document();
  const QTextBlock b = doc->findBlock(position);
  qreal y = doc->documentLayout()->blockBoundingRect(b).top();
  if (const QTextLayout* l = b.layout()) {
    const QTextLine line = l->lineForTextPosition(position - b.position());
    if (line.isValid()) y += line.y();
  }
  return int(y);
}

LinePositions PreviewWindow::Positions() const {
  LinePositions p;
  p.lines.reserve(anchors_.size());
  for (const auto& a : anchors_) p.lines.push_back(a.first);
  p.y = [this](std::size_t i) { return YOf(anchors_[i].second); };
  return p;
}

void PreviewWindow::ScrollToLine(int line) {
  if (line <= 0) return;
  // A line outside the window, or in its first or last slice, gets a window around it.
  const std::size_t slice = slices_.SliceOf(line);
  if (windowed() && ((slice <= first_ && first_ > 0) || (slice + 1 >= last_ && last_ < slices_.count()))) {
    LoadWindow({line, 0});
    return;
  }
  placing_ = true;
  page_->verticalScrollBar()->setValue(ScrollFor(Positions(), {line, 0}));
  placing_ = false;
  UpdatePlace();
}

void PreviewWindow::ReportClicked(QListWidgetItem* item) {
  if (item) ScrollToLine(item->data(kLineRole).toInt());
}

int RunDocumentPreview(const std::string& native_path, bool write, const std::string& rules, bool html5) {
  const std::string source = NameFromNative(native_path);
  std::string rule_file;
  if (!rules.empty() && !FullPath(NameFromNative(rules), rule_file)) rule_file = NameFromNative(rules);
  PreviewWindow::Options o;
  o.title = QString::fromUtf8(native_path.c_str()) + Caption(" - Norvelleプレビュー");
  o.geometry_key = QStringLiteral("document");
  o.can_write = true;
  o.always_write = write;
  PreviewWindow window(o, [source, rule_file, html5](bool w) {
    PreviewRequest r;
    r.source = source;
    r.write = w;
    r.default_rules = rule_file;
    r.html5 = html5;
    return ConvertToMemory(r);
  });
  RememberDocument(native_path);
  window.WatchFiles();
  window.show();
  window.Reconvert();
  return QApplication::exec() == 0 ? 0 : 2;
}

}  // namespace norvelle
