#include "ui/qt/settings_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <vector>

#include "app/manuals.h"
#include "platform/carry.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "platform/probe.h"
#include "preview/sample.h"
#include "rules/listing_colours.h"
#include "settings/text_forms.h"
#include "ui/qt/look.h"
#include "ui/qt/preview_window.h"
#include "ui/qt/settings_template.h"

#ifndef NORVELLE_VERSION
#define NORVELLE_VERSION "unknown"
#endif

namespace norvelle {

namespace {

QString FromSjis(std::string_view cp932) {
  const std::string utf8 = Cp932ToUtf8Lossy(cp932);
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

// What cannot be written in CP932 becomes "?", one per character.
std::string ToSjis(const QString& text) {
  std::string out;
  const QByteArray utf8 = text.toUtf8();
  if (Utf8ToCp932(std::string_view(utf8.constData(), std::size_t(utf8.size())), out)) return out;
  out.clear();
  for (const uint code : text.toUcs4()) {
    const char32_t c = code;
    const QByteArray one = QString::fromUcs4(&c, 1).toUtf8();
    std::string piece;
    out += Utf8ToCp932(std::string_view(one.constData(), std::size_t(one.size())), piece) ? piece : "?";
  }
  return out;
}

bool IsMultiLine(int id) { return id == ctl::kHeader || id == ctl::kFooter; }

// The order of the auto-replace words: letter case ignored (by the toolkit's
// case folding, code point by code point, not by locale, so the order is the
// same everywhere), then exact code points so that equal folds stay stable.
bool SortsBefore(const QString& a, const QString& b) {
  const int folded = QString::compare(a, b, Qt::CaseInsensitive);
  return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

constexpr int kTextRole = Qt::UserRole;  // a list line's CP932 bytes

QString Caption(const char* utf8) { return QString::fromUtf8(utf8); }

QStringList QtFilters(std::string_view cp932_filter) {
  QStringList out;
  for (const auto& [caption, patterns] : ParseFileFilter(cp932_filter)) {
    const QString c = FromSjis(caption);
    const QString p = FromSjis(patterns);
    // The toolkit reads the patterns from the last "(...)" of a filter, and
    // with its details hidden shows what stands before it: the caption.
    out << c + QStringLiteral(" (") + p + QLatin1Char(')');
  }
  return out;
}

// The captions as written, and room for the columns of the detail view:
// in Japanese, "サイズ", "種類" and "更新日時" with their values are wider than
// the toolkit's default size allows.
void Prepare(QFileDialog& dialog, QStringList filters) {
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(filters);
  dialog.setViewMode(QFileDialog::Detail);
  const qt::DialogUnits du(dialog.font());
  dialog.resize(du.Size(380, 230));
  if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
}

std::optional<std::string> ChosenPath(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QByteArray utf8 = dialog.selectedFiles().first().toUtf8();
  std::string path;
  if (!Utf8ToCp932(std::string_view(utf8.constData(), std::size_t(utf8.size())), path)) path.clear();
  return path;
}

// Every change the logic makes is quiet: it runs its handlers itself.
struct Quiet {
  explicit Quiet(int& n) : n_(n) { ++n_; }
  ~Quiet() { --n_; }
  int& n_;
};

}  // namespace

SettingsDialog::SettingsDialog(MessageBoxes* boxes, FileDialogs* files, QWidget* parent)
    : QDialog(parent),
      boxes_(boxes ? boxes : this),
      files_(files ? files : this),
      editor_(*this, *boxes_, *files_) {
  setWindowTitle(Caption("Norvelle設定"));
  setWindowIcon(qt::AppIcon());
  setFont(qt::DialogFont());
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  menu_ = new QMenuBar(this);
  menu_->setNativeMenuBar(false);
  layout->setMenuBar(menu_);
  client_ = new QWidget(this);
  client_->setFixedSize(qt::DialogUnits(font()).Size(kSettingsWidth, kSettingsHeight));
  layout->addWidget(client_);

  BuildMenu();
  BuildControls();
  editor_.Start();
}

QRect SettingsDialog::Rect(const TemplateItem& item) const {
  return qt::DialogUnits(font()).Rect(item.x, item.y, item.w, item.h);
}

template <class W>
W* SettingsDialog::Add(const TemplateItem& item, W* widget) {
  widget->setGeometry(Rect(item));
  widget->setObjectName(QStringLiteral("c%1").arg(item.id));
  controls_[item.id] = widget;
  return widget;
}

QWidget* SettingsDialog::MakeControl(const TemplateItem& item) {
  switch (item.kind) {
    case ControlKind::kLabel:
    case ControlKind::kWarning:
    case ControlKind::kGroup:
      return MakeStatic(item);
    case ControlKind::kDefaultButton:
    case ControlKind::kButton:
    case ControlKind::kCheck:
      return MakeCommand(item);
    case ControlKind::kMultiEdit:
    case ControlKind::kEdit:
    case ControlKind::kNumberEdit:
      return MakeEdit(item);
    case ControlKind::kList:
    case ControlKind::kSortedList:
    case ControlKind::kDropDown:
      return MakeList(item);
  }
  return nullptr;
}

QWidget* SettingsDialog::MakeStatic(const TemplateItem& item) {
  if (item.kind == ControlKind::kGroup) {
    (new QGroupBox(Caption(item.caption), client_))->setGeometry(Rect(item));
    return nullptr;
  }
  if (item.kind == ControlKind::kWarning) {
    auto* warning = Add(item, new QLabel(Caption(item.caption), client_));
    warning->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    warning->hide();
    return warning;
  }
  auto* label = new QLabel(Caption(item.caption), client_);
  label->setGeometry(Rect(item));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return nullptr;
}

QWidget* SettingsDialog::MakeCommand(const TemplateItem& item) {
  const int id = item.id;
  if (item.kind == ControlKind::kCheck) {
    auto* check = Add(item, new QCheckBox(Caption(item.caption), client_));
    connect(check, &QCheckBox::clicked, this, [this, id] { Command(id); });
    return check;
  }
  auto* b = Add(item, new QPushButton(Caption(item.caption), client_));
  connect(b, &QPushButton::clicked, this, [this, id] { Command(id); });
  if (item.kind == ControlKind::kDefaultButton) b->setDefault(true);
  return b;
}

QWidget* SettingsDialog::MakeEdit(const TemplateItem& item) {
  const int id = item.id;
  if (item.kind == ControlKind::kMultiEdit) {
    auto* e = Add(item, new QPlainTextEdit(client_));
    e->setTabChangesFocus(true);
    e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(e, &QPlainTextEdit::textChanged, this, [this, id] { Changed(id); });
    return e;
  }
  auto* e = Add(item, new QLineEdit(client_));
  connect(e, &QLineEdit::textChanged, this, [this, id] { Changed(id); });
  if (item.kind == ControlKind::kNumberEdit) e->setAlignment(Qt::AlignRight);
  return e;
}

QWidget* SettingsDialog::MakeList(const TemplateItem& item) {
  const int id = item.id;
  if (item.kind == ControlKind::kDropDown) {
    auto* kind = Add(item, new QComboBox(client_));
    kind->addItems(Caption(item.caption).split(QLatin1Char('\n')));
    kind->setCurrentIndex(-1);
    connect(kind, &QComboBox::currentIndexChanged, this, [this, id] { SelectionChanged(id); });
    return kind;
  }
  auto* l = Add(item, new QListWidget(client_));
  l->setSelectionMode(QAbstractItemView::SingleSelection);
  l->setUniformItemSizes(true);
  connect(l, &QListWidget::currentRowChanged, this, [this, id] { SelectionChanged(id); });
  // The sorting itself is ListAdd's.
  if (item.kind == ControlKind::kSortedList) l->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return l;
}

void SettingsDialog::BuildControls() {
  std::vector<QWidget*> tab_order;
  for (const TemplateItem& item : kSettingsTemplate) {
    QWidget* w = MakeControl(item);
    if (w && TakesFocus(item.kind)) tab_order.push_back(w);
  }
  BuildSwatches();
  NameControls();
  // Explicit, so that creation order can never reorder it.
  for (std::size_t i = 1; i < tab_order.size(); ++i) setTabOrder(tab_order[i - 1], tab_order[i]);
}

void SettingsDialog::BuildSwatches() {
  const qt::DialogUnits du(font());
  for (const ListingColour colour : ColoursByRow()) {
    const int id = ListingColourOf(colour).control;
    auto* s = new QFrame(client_);
    s->setObjectName(QStringLiteral("swatch%1").arg(id));
    s->setGeometry(du.Rect(kSwatchX, ColourRowTop(colour) + kSwatchBelowRow, kSwatchW, kSwatchH));
    s->setFrameShape(QFrame::NoFrame);
    s->setAutoFillBackground(true);
    swatches_[id] = s;
  }
}

void SettingsDialog::NameControls() {
  const QList<QLabel*> labels = client_->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
  for (const LabelFor& l : kLabelsFor)
    for (QLabel* label : labels)
      if (label->text() == Caption(l.label)) qt::SetLabelFor(label, control(l.id));
  for (const AccessibleText& t : kAccessibleTexts) {
    QWidget* w = control(t.id);
    if (t.name) w->setAccessibleName(Caption(t.name));
    if (t.description) w->setAccessibleDescription(Caption(t.description));
  }
  for (const ListingColourInfo& c : kListingColours)
    swatch(c.control)->setAccessibleName(Caption(c.label) + Caption("の色"));
}

void SettingsDialog::BuildMenu() {
  struct Item {
    const char* caption;  // null: separator
    int id;
  };
  auto fill = [&](const char* title, std::initializer_list<Item> items) {
    QMenu* m = menu_->addMenu(Caption(title));
    for (const Item& item : items) {
      if (!item.caption) {
        m->addSeparator();
        continue;
      }
      QAction* a = m->addAction(Caption(item.caption));
      a->setObjectName(QStringLiteral("m%1").arg(item.id));
      const int id = item.id;
      connect(a, &QAction::triggered, this, [this, id] { Command(id); });
    }
  };
  fill("ルール(&R)", {{"ルールの新規作成(&N)", ctl::kCmdNew},
                     {"ルールを開く(&O)...", ctl::kCmdOpen},
                     {"ルールに名前をつけて保存(&A)...", ctl::kCmdSaveAs},
                     {"ルールの上書き保存(&S)", ctl::kCmdSave},
                     {nullptr, 0},
                     {"設定の終了(&X)", ctl::kCmdExit}});
  fill("ヘルプ(&H)", {{"Norvelleのバージョン情報(&A)...", ctl::kCmdAbout}});
  // Ours, after the About item.
  QAction* manuals = menu_->actions()[1]->menu()->addAction(Caption("Norvelleのマニュアル(&M)"));
  manuals->setObjectName(QStringLiteral("mManuals"));
  connect(manuals, &QAction::triggered, this, [this] { OpenManuals(); });
  // Ours, after the two menus of the rule's window.
  QAction* preview = menu_->addMenu(Caption("表示(&V)"))->addAction(Caption("プレビュー(&P)"));
  preview->setObjectName(QStringLiteral("mPreview"));
  connect(preview, &QAction::triggered, this, [this] { OpenPreview(); });
}

void SettingsDialog::OpenPreview() {
  if (!preview_) {
    PreviewWindow::Options o;
    o.title = Caption("ルール - Norvelleプレビュー");
    o.geometry_key = QStringLiteral("rule");
    // The sample with the rule as the window shows it: nothing is saved.
    preview_ = new PreviewWindow(o, [this](bool) {
      RuleStore rule;
      editor_.CurrentRule(rule);
      PreviewRequest r;
      r.rules = &rule;
      if (std::optional<std::string> last = LastDocument()) {
        r.source = NameFromNative(*last);
      } else {
        r.text = SampleDocument(rule);
        r.title = SampleTitle();
        r.source = NameFromNative(CurrentFolder() + "/norvelle-sample.txt");
      }
      return ConvertToMemory(r);
    }, this);
    preview_->setAttribute(Qt::WA_DeleteOnClose);
    preview_->show();
    preview_->Reconvert();
  }
  preview_->raise();
  preview_->activateWindow();
}

void SettingsDialog::OpenManuals() {
  const std::string folder = ManualsFolder(ProgramPath());
  const QString path = FromSjis(folder);
  if (folder.empty() || !QFileInfo(path).isDir() || !open_url_(QUrl::fromLocalFile(path))) {
    std::string text;
    Utf8ToCp932("マニュアルが見つかりません: " + Cp932ToUtf8Lossy(folder), text);
    boxes_->Ask(text, MessageBoxes::Buttons::kOk);
  }
}

void SettingsDialog::Command(int id) {
  editor_.OnCommand(id);
  RuleEdited();
}

void SettingsDialog::RuleEdited() {
  if (preview_) preview_->ReconvertSoon();
}

QWidget* SettingsDialog::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QWidget* SettingsDialog::swatch(int id) const {
  auto it = swatches_.find(id);
  return it == swatches_.end() ? nullptr : it->second;
}

void SettingsDialog::reject() { editor_.OnCommand(ctl::kCancel); }

void SettingsDialog::Changed(int id) {
  if (quiet_ > 0) return;
  editor_.OnTextChanged(id);
  RuleEdited();
}

void SettingsDialog::SelectionChanged(int id) {
  if (quiet_ > 0) return;
  editor_.OnSelectionChanged(id);
  RuleEdited();
}

void SettingsDialog::SetText(int id, std::string_view text) {
  Quiet q(quiet_);
  QString shown = IsMultiLine(id) ? FromSjis(CrLfToLf(text).view()) : FromSjis(text);
  if (auto* e = qobject_cast<QLineEdit*>(control(id))) {
    e->setText(shown);
    shown = e->text();
  } else if (auto* m = qobject_cast<QPlainTextEdit*>(control(id))) {
    m->setPlainText(shown);
    shown = m->toPlainText();
  }
  shown_[id] = {shown, std::string(text)};
}

std::string SettingsDialog::Text(int id) const {
  QString now;
  if (auto* e = qobject_cast<QLineEdit*>(control(id))) now = e->text();
  else if (auto* m = qobject_cast<QPlainTextEdit*>(control(id))) now = m->toPlainText();
  auto it = shown_.find(id);
  if (it != shown_.end() && it->second.first == now) return it->second.second;
  const std::string text = ToSjis(now);
  return IsMultiLine(id) ? std::string(LfToCrLf(text).view()) : text;
}

void SettingsDialog::SetCheck(int id, bool on) {
  Quiet q(quiet_);
  if (auto* b = qobject_cast<QCheckBox*>(control(id))) b->setChecked(on);
}

bool SettingsDialog::Check(int id) const {
  auto* b = qobject_cast<QCheckBox*>(control(id));
  return b && b->isChecked();
}

void SettingsDialog::ListClear(int id) {
  Quiet q(quiet_);
  if (auto* l = qobject_cast<QListWidget*>(control(id))) l->clear();
}

int SettingsDialog::ListAdd(int id, std::string_view text) {
  auto* l = qobject_cast<QListWidget*>(control(id));
  if (!l) return -1;
  Quiet q(quiet_);
  auto* item = new QListWidgetItem(FromSjis(text));
  item->setData(kTextRole, QByteArray(text.data(), qsizetype(text.size())));
  int at = l->count();
  if (id == ctl::kAutoList) {  // the sorted list: after every line that does not sort later
    at = 0;
    while (at < l->count() && !SortsBefore(item->text(), l->item(at)->text())) ++at;
  }
  l->insertItem(at, item);
  return at;
}

void SettingsDialog::ListInsert(int id, int index, std::string_view text) {
  auto* l = qobject_cast<QListWidget*>(control(id));
  if (!l) return;
  Quiet q(quiet_);
  auto* item = new QListWidgetItem(FromSjis(text));
  item->setData(kTextRole, QByteArray(text.data(), qsizetype(text.size())));
  l->insertItem(index, item);
}

void SettingsDialog::ListRemove(int id, int index) {
  auto* l = qobject_cast<QListWidget*>(control(id));
  if (!l) return;
  Quiet q(quiet_);
  delete l->takeItem(index);
}

int SettingsDialog::ListCount(int id) const {
  if (auto* l = qobject_cast<QListWidget*>(control(id))) return l->count();
  if (auto* k = qobject_cast<QComboBox*>(control(id))) return k->count();
  return 0;
}

std::string SettingsDialog::ListText(int id, int index) const {
  auto* l = qobject_cast<QListWidget*>(control(id));
  QListWidgetItem* item = l ? l->item(index) : nullptr;
  if (!item) return {};
  const QByteArray bytes = item->data(kTextRole).toByteArray();
  return std::string(bytes.constData(), std::size_t(bytes.size()));
}

void SettingsDialog::ListSelect(int id, int index) {
  Quiet q(quiet_);
  if (auto* l = qobject_cast<QListWidget*>(control(id))) {
    l->setCurrentRow(index);
    if (index >= 0 && l->item(index)) l->scrollToItem(l->item(index));
  } else if (auto* k = qobject_cast<QComboBox*>(control(id))) {
    k->setCurrentIndex(index);
  }
}

int SettingsDialog::ListSelection(int id) const {
  if (auto* l = qobject_cast<QListWidget*>(control(id))) return l->currentRow();
  if (auto* k = qobject_cast<QComboBox*>(control(id))) return k->currentIndex();
  return -1;
}

int SettingsDialog::ListFindExact(int id, std::string_view text) const {
  auto* l = qobject_cast<QListWidget*>(control(id));
  if (!l) return -1;
  const QString wanted = FromSjis(text);
  for (int i = 0; i < l->count(); ++i)
    if (QString::compare(l->item(i)->text(), wanted, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

void SettingsDialog::Show(int id, bool visible) {
  if (QWidget* w = control(id)) w->setVisible(visible);
}

void SettingsDialog::Focus(int id) {
  if (QWidget* w = control(id)) w->setFocus();
}

void SettingsDialog::SetSwatch(int id, Rgb colour) {
  QWidget* s = swatch(id);
  if (!s) return;
  QPalette p = s->palette();
  const QColor c(colour.red, colour.green, colour.blue);
  p.setColor(QPalette::Window, c);
  s->setPalette(p);
  s->setAccessibleDescription(c.name());  // "#0000ff"
  s->update();
}

void SettingsDialog::SetCaption(std::string_view text) { setWindowTitle(FromSjis(text)); }

void SettingsDialog::Close(bool accepted) {
  if (accepted) QDialog::accept();
  else QDialog::reject();
}

void SettingsDialog::ShowAbout() {
  QDialog about(this);
  about.setWindowTitle(Caption("Norvelleのバージョン情報"));
  about.setObjectName(QStringLiteral("about"));
  auto* layout = new QVBoxLayout(&about);
  auto* row = new QHBoxLayout;
  auto* icon = new QLabel(&about);
  icon->setPixmap(qt::AppIcon().pixmap(32, 32));
  row->addWidget(icon, 0, Qt::AlignTop);
  auto* text = new QLabel(QStringLiteral("Norvelle %1\n%2")
                              .arg(QStringLiteral(NORVELLE_VERSION),
                                   Caption("マークアップ命令つきのテキストをHTMLに変換します。")),
                          &about);
  text->setObjectName(QStringLiteral("aboutText"));
  row->addWidget(text);
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(&about);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
  layout->addWidget(buttons);
  about.exec();
}

MessageBoxes::Answer SettingsDialog::Ask(std::string_view text, Buttons buttons) {
  QMessageBox box(this);
  box.setWindowTitle(QStringLiteral("Norvelle"));
  box.setText(FromSjis(text));
  box.setIcon(buttons == Buttons::kOk ? QMessageBox::Warning : QMessageBox::Question);
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  QPushButton* cancel = nullptr;
  QPushButton* ok = nullptr;
  if (buttons == Buttons::kOk) {
    ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setEscapeButton(ok);
  } else {
    yes = box.addButton(Caption("はい(&Y)"), QMessageBox::YesRole);
    no = box.addButton(Caption("いいえ(&N)"), QMessageBox::NoRole);
    if (buttons == Buttons::kYesNoCancel) {
      cancel = box.addButton(Caption("キャンセル"), QMessageBox::RejectRole);
      box.setEscapeButton(cancel);
    } else {
      box.setEscapeButton(no);
    }
    box.setDefaultButton(yes);
  }
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (buttons == Buttons::kOk) return Answer::kOk;
  if (clicked == yes) return Answer::kYes;
  if (clicked == no || !cancel) return Answer::kNo;
  return Answer::kCancel;
}

std::optional<std::string> SettingsDialog::OpenFile(std::string_view filter, std::string_view folder) {
  QFileDialog dialog(this, Caption("開く"), FromSjis(folder));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  Prepare(dialog, QtFilters(filter));
  return ChosenPath(dialog);
}

std::optional<std::string> SettingsDialog::SaveFile(std::string_view filter, std::string_view folder,
                                                    std::string_view proposed_name) {
  QFileDialog dialog(this, Caption("名前を付けて保存"), FromSjis(folder));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  Prepare(dialog, QtFilters(filter));
  if (!proposed_name.empty()) dialog.selectFile(FromSjis(proposed_name));
  return ChosenPath(dialog);
}

int RunSettingsDialog() {
  SettingsDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace norvelle
