#include "ui/qt/preview_window.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
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

#include "io/source_path.h"
#include "platform/carry.h"
#include "platform/encoding.h"
#include "preview/sample.h"
#include "preview/watch_files.h"
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
  page_ = new QTextBrowser(split);
  page_->setObjectName(QStringLiteral("page"));
  page_->setAccessibleName(Caption("変換結果"));
  page_->setOpenLinks(false);  // a preview stays on its page
  page_->setPalette(qt::PagePalette(page_->palette()));  // a dark desktop too
  auto* strip = new QWidget(split);
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
  split->addWidget(page_);
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
  resize(640, std::max(480, p->frameGeometry().height()));
  // Beside the dialog: right of it, else left of it, else as far right as fits.
  const QRect dialog = p->frameGeometry();
  const QRect screen = p->screen()->availableGeometry();
  int x = dialog.right() + 8;
  if (x + width() > screen.right()) x = dialog.left() - 8 - width() >= screen.left() ? dialog.left() - 8 - width()
                                                                                    : screen.right() - width();
  move(std::max(screen.left(), x), dialog.top());
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
  QSettings s = Remembered();
  s.setValue(options_.geometry_key + QStringLiteral("/geometry"), saveGeometry());
  QWidget::closeEvent(event);
}

void PreviewWindow::Reconvert() {
  timer_->stop();
  Show(convert_(options_.always_write));
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
  watch_ = std::make_unique<WatchThread>([this](const std::vector<std::string>&) {
    QMetaObject::invokeMethod(this, [this] { Reconvert(); }, Qt::QueuedConnection);
  });
  if (runs_ > 0) watch_->SetFiles(FilesToWatch(good_.reads, {}));
}

void PreviewWindow::Show(PreviewPage page) {
  ++runs_;
  if (watch_) watch_->SetFiles(FilesToWatch(page.reads, page.written ? NameToNative(page.page_path) : ""));
  ShowReport(page);
  if (page.outcome == RunOutcome::kCancelled || !page.shown()) return;  // the last good page stays
  Render(page);
  good_ = std::move(page);
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
void PreviewWindow::Render(const PreviewPage& page) {
  ScrollAnchor anchor = AnchorAt(Positions(), page_->verticalScrollBar()->value());
  if (anchor.line > 0) anchor.line = LineMap(good_.source_text, page.source_text)(anchor.line);
  const QString folder = QString::fromUtf8(NameToNative(FolderOf(page.page_path)).c_str());
  page_->setSearchPaths({folder});
  page_->document()->setBaseUrl(QUrl::fromLocalFile(folder + QLatin1Char('/')));
  page_->setHtml(FromSjis(page.html));
  CollectAnchors();
  page_->verticalScrollBar()->setValue(ScrollFor(Positions(), anchor));
}

void PreviewWindow::CollectAnchors() {
  anchors_.clear();
  for (QTextBlock b = page_->document()->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      for (const QString& name : f.charFormat().anchorNames()) {
        const int line = LineOfAnchor(name.toStdString());
        if (line > (anchors_.empty() ? 0 : anchors_.back().first)) anchors_.emplace_back(line, f.position());
      }
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
  page_->verticalScrollBar()->setValue(ScrollFor(Positions(), {line, 0}));
}

void PreviewWindow::ReportClicked(QListWidgetItem* item) {
  if (item) ScrollToLine(item->data(kLineRole).toInt());
}

int RunDocumentPreview(const std::string& native_path, bool write) {
  const std::string source = NameFromNative(native_path);
  PreviewWindow::Options o;
  o.title = QString::fromUtf8(native_path.c_str()) + Caption(" - Norvelleプレビュー");
  o.geometry_key = QStringLiteral("document");
  o.can_write = true;
  o.always_write = write;
  PreviewWindow window(o, [source](bool w) {
    PreviewRequest r;
    r.source = source;
    r.write = w;
    return ConvertToMemory(r);
  });
  RememberDocument(native_path);
  window.WatchFiles();
  window.show();
  window.Reconvert();
  return QApplication::exec() == 0 ? 0 : 2;
}

}  // namespace norvelle
