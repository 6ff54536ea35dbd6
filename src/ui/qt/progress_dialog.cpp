#include "ui/qt/progress_dialog.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "app/cli.h"
#include "platform/carry.h"
#include "report/messages.h"
#include "ui/qt/look.h"

namespace norvelle {

namespace {

// Long messages scroll sideways at least this far, as wide report lines need.
constexpr int kReportExtent = 1024;

QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

}  // namespace

ProgressDialog::ProgressDialog(std::string command_line, ProgressHost::Run run, QWidget* parent)
    : QDialog(parent), host_(*this, std::move(command_line), std::move(run)) {
  setWindowTitle(QStringLiteral("Norvelle"));
  setWindowIcon(qt::AppIcon());
  setFont(qt::DialogFont());
  const qt::DialogUnits du(font());
  setFixedSize(du.Size(209, 145));

  status_ = new QLabel(QString::fromUtf8(MessageUtf8(Msg::kStatusPreparing)), this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setGeometry(du.Rect(5, 5, 165, 8));
  // Its text is the phase; a screen reader reads that as its name.
  status_->setAccessibleDescription(QString::fromUtf8("状態"));

  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progress"));
  bar_->setGeometry(du.Rect(5, 15, 200, 10));
  bar_->setTextVisible(false);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  // No label stands beside the bar.
  bar_->setAccessibleName(QString::fromUtf8("進行状況"));

  auto* label = new QLabel(QString::fromUtf8(MessageUtf8(Msg::kLabelErrorReport)), this);
  label->setGeometry(du.Rect(5, 30, 70, 8));

  report_ = new QListWidget(this);
  report_->setObjectName(QStringLiteral("report"));
  report_->setGeometry(du.Rect(5, 40, 195, 80));
  report_->setSortingEnabled(false);
  report_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  report_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  report_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  qt::SetLabelFor(label, report_);

  button_ = new QPushButton(QString::fromUtf8(MessageUtf8(Msg::kCaptionCancel)), this);
  button_->setObjectName(QStringLiteral("cancel"));
  button_->setGeometry(du.Rect(150, 125, 50, 14));
  button_->setDefault(true);
  connect(button_, &QPushButton::clicked, this, &ProgressDialog::reject);
}

void ProgressDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The run starts after the window is on screen; a second show is ignored
  // by the host.
  QMetaObject::invokeMethod(this, [this] { host_.Start(); }, Qt::QueuedConnection);
}

void ProgressDialog::reject() { host_.Cancel(); }

void ProgressDialog::ShowStatus(const std::string& text) { status_->setText(Q(text)); }

void ProgressDialog::ShowProgress(int max, int pos) {
  // A range of 0..0 would animate as "busy"; the bar shows empty instead.
  max = std::max(max, 1);
  bar_->setRange(0, max);
  bar_->setValue(std::clamp(pos, 0, max));
}

void ProgressDialog::AppendReport(const std::vector<std::string>& lines) {
  const QFontMetrics fm(report_->font());
  for (const std::string& line : lines) {
    auto* item = new QListWidgetItem(Q(line));
    const int width = std::max(kReportExtent, fm.horizontalAdvance(item->text()) + 8);
    item->setSizeHint(QSize(width, fm.height() + 2));
    report_->addItem(item);
  }
}

void ProgressDialog::ShowButtonCaption(const std::string& text) { button_->setText(Q(text)); }

void ProgressDialog::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void ProgressDialog::Close() { QDialog::reject(); }

int RunProgressDialog(const Job& job) {
  ProgressDialog dialog(std::string(), [&job](ConversionHost& host, std::string_view) {
    return RunJob(host, job, [&host](NoteKind kind, const std::string& line) {
      if (kind == NoteKind::kReason) host.AddError(NameFromNative(line));
    });
  });
  dialog.exec();
  return dialog.host().ExitStatus();
}

}  // namespace norvelle
