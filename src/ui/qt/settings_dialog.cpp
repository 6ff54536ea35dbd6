#include "ui/qt/settings_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/encoding.h"
#include "settings/text_forms.h"
#include "ui/qt/look.h"

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

// A colour field and its swatch: field rectangle in dialog units.
struct ColourField {
  int id;
  int y;
};
constexpr ColourField kColourRows[] = {
    {ctl::kColorNormal, 285}, {ctl::kColorSymbol, 295}, {ctl::kColorKeyword, 305},
    {ctl::kColorNum, 315},    {ctl::kColorChar, 325},   {ctl::kColorString, 335},
    {ctl::kColorComment, 345}, {ctl::kColorLine, 355},
};

QString Caption(const char* utf8) { return QString::fromUtf8(utf8); }

QStringList QtFilters(std::string_view cp932_filter) {
  QStringList out;
  for (const auto& [caption, patterns] : ParseFileFilter(cp932_filter)) {
    const QString c = FromSjis(caption);
    const QString p = FromSjis(patterns);
    // The toolkit reads the patterns from the last "(...)" of a caption.
    out << (c.endsWith(QLatin1Char('(') + p + QLatin1Char(')')) ? c : c + QStringLiteral(" (") + p + QLatin1Char(')'));
  }
  return out;
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
  client_->setFixedSize(qt::DialogUnits(font()).Size(359, 375));
  layout->addWidget(client_);

  BuildMenu();
  BuildControls();
  editor_.Start();
}

template <class W>
W* SettingsDialog::Add(int id, W* widget, int x, int y, int w, int h) {
  const qt::DialogUnits du(font());
  widget->setGeometry(du.Rect(x, y, w, h));
  widget->setObjectName(QStringLiteral("c%1").arg(id));
  controls_[id] = widget;
  return widget;
}

void SettingsDialog::AddLabel(const char* utf8, int x, int y, int w, int h) {
  auto* label = new QLabel(Caption(utf8), client_);
  label->setGeometry(qt::DialogUnits(font()).Rect(x, y, w, h));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void SettingsDialog::BuildControls() {
  QWidget* c = client_;
  auto button = [&](int id, const char* caption, int x, int y, int w, int h) {
    auto* b = Add(id, new QPushButton(Caption(caption), c), x, y, w, h);
    connect(b, &QPushButton::clicked, this, [this, id] { editor_.OnCommand(id); });
    return b;
  };
  auto line = [&](int id, int x, int y, int w, int h) {
    auto* e = Add(id, new QLineEdit(c), x, y, w, h);
    connect(e, &QLineEdit::textChanged, this, [this, id] { Changed(id); });
    return e;
  };
  auto multi = [&](int id, int x, int y, int w, int h) {
    auto* e = Add(id, new QPlainTextEdit(c), x, y, w, h);
    e->setTabChangesFocus(true);  // Enter starts a line; Tab moves on
    e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(e, &QPlainTextEdit::textChanged, this, [this, id] { Changed(id); });
    return e;
  };
  // The colour fields stand 10 units apart; at their template height of 12
  // they would overlap, so they take 10, one unit lower to stay centred on
  // their labels.
  auto colour = [&](int id) {
    for (const ColourField& f : kColourRows)
      if (f.id == id) line(id, 300, f.y + 1, 35, 10);
  };
  auto list = [&](int id, int x, int y, int w, int h) {
    auto* l = Add(id, new QListWidget(c), x, y, w, h);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setUniformItemSizes(true);
    connect(l, &QListWidget::currentRowChanged, this, [this, id] { SelectionChanged(id); });
    return l;
  };

  // Template order, which is the tab order.
  button(ctl::kOk, "OK", 80, 350, 50, 15)->setDefault(true);
  button(ctl::kCancel, "ｷｬﾝｾﾙ", 138, 350, 50, 15);
  AddLabel("HTML先頭タグ", 5, 5, 110, 8);
  multi(ctl::kHeader, 5, 15, 175, 60);
  AddLabel("HTML終了タグ", 185, 5, 110, 8);
  multi(ctl::kFooter, 185, 15, 170, 60);
  button(ctl::kApply, "適用(&A)", 198, 350, 50, 15);
  AddLabel("置換テーブル", 5, 80, 60, 8);
  list(ctl::kReplaceList, 5, 91, 350, 59);
  line(ctl::kReplaceEntry, 5, 150, 350, 15);
  // Widened from 55 units, to the colour group, so that the caption is not cut.
  AddLabel("tab->space初期値", 195, 280, 60, 8);
  line(ctl::kTabStop, 195, 290, 55, 15)->setAlignment(Qt::AlignRight);
  AddLabel("自動置換リスト", 5, 170, 60, 8);
  list(ctl::kAutoList, 5, 181, 350, 59)->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  line(ctl::kWord, 35, 240, 320, 15);
  line(ctl::kReplacement, 35, 255, 320, 15);
  AddLabel("ワード\n\n置換後\n(%1は\nワード)\n\n比較方法", 4, 243, 30, 58);
  auto* group = new QGroupBox(Caption("ソース色分け"), c);
  group->setGeometry(qt::DialogUnits(font()).Rect(256, 275, 99, 95));
  AddLabel("標準", 261, 288, 38, 9);
  for (int id : {ctl::kColorNormal, ctl::kColorKeyword, ctl::kColorString, ctl::kColorComment,
                 ctl::kColorLine})
    colour(id);
  AddLabel("キーワード", 261, 308, 37, 8);
  AddLabel("文字列", 261, 338, 37, 9);
  AddLabel("注釈", 261, 348, 38, 8);
  AddLabel("行数", 261, 358, 38, 8);
  button(ctl::kAdd, "追加", 74, 166, 34, 14);
  button(ctl::kDelete, "削除", 110, 166, 34, 14);
  auto* warning = new QLabel(Caption("現在のワード名は他に存在するため、保存されていません"), c);
  Add(ctl::kWarning, warning, 158, 168, 191, 8);
  warning->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  warning->hide();
  AddLabel("分割キー", 135, 280, 28, 8);
  line(ctl::kSplitKey, 135, 290, 55, 15);
  AddLabel("接合キー", 135, 310, 28, 8);
  line(ctl::kJoinKey, 135, 320, 55, 15);
  colour(ctl::kColorSymbol);
  AddLabel("シンボル", 261, 298, 38, 8);
  colour(ctl::kColorChar);
  AddLabel("文字", 261, 328, 38, 8);
  colour(ctl::kColorNum);
  AddLabel("定数", 261, 318, 38, 8);
  // Widened from 56 units, to the colour group, so that the caption is not cut.
  auto* check = Add(ctl::kLineOut, new QCheckBox(Caption("ソース行数出力"), c), 195, 320, 60, 10);
  connect(check, &QCheckBox::clicked, this, [this] { editor_.OnCommand(ctl::kLineOut); });
  // Closed height; the list that drops down sizes itself.
  auto* kind = Add(ctl::kKind, new QComboBox(c), 35, 288, 89, 14);
  kind->addItems({Caption("完全一致(M)"), Caption("検索(I)"), Caption("独自形式正規表現(R)")});
  kind->setCurrentIndex(-1);
  connect(kind, &QComboBox::currentIndexChanged, this, [this] { SelectionChanged(ctl::kKind); });

  const qt::DialogUnits du(font());
  for (const ColourField& f : kColourRows) {
    auto* s = new QFrame(c);
    s->setObjectName(QStringLiteral("swatch%1").arg(f.id));
    // One unit of gap above and below, so that neighbouring colours stay apart.
    s->setGeometry(du.Rect(337, f.y + 2, 9, 8));
    s->setFrameShape(QFrame::NoFrame);
    s->setAutoFillBackground(true);
    swatches_[f.id] = s;
  }

  // Explicit, so that creation order can never reorder it.
  const int order[] = {ctl::kOk,          ctl::kCancel,       ctl::kHeader,       ctl::kFooter,
                       ctl::kApply,       ctl::kReplaceList,  ctl::kReplaceEntry, ctl::kTabStop,
                       ctl::kAutoList,    ctl::kWord,         ctl::kReplacement,  ctl::kColorNormal,
                       ctl::kColorKeyword, ctl::kColorString, ctl::kColorComment, ctl::kColorLine,
                       ctl::kAdd,         ctl::kDelete,       ctl::kSplitKey,     ctl::kJoinKey,
                       ctl::kColorSymbol, ctl::kColorChar,    ctl::kColorNum,     ctl::kLineOut,
                       ctl::kKind};
  for (std::size_t i = 1; i < std::size(order); ++i)
    setTabOrder(controls_[order[i - 1]], controls_[order[i]]);
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
      connect(a, &QAction::triggered, this, [this, id] { editor_.OnCommand(id); });
    }
  };
  fill("ルール(&R)", {{"ルールの新規作成(&N)", ctl::kCmdNew},
                     {"ルールを開く(&O)...", ctl::kCmdOpen},
                     {"ルールに名前をつけて保存(&A)...", ctl::kCmdSaveAs},
                     {"ルールの上書き保存(&S)", ctl::kCmdSave},
                     {nullptr, 0},
                     {"設定の終了(&X)", ctl::kCmdExit}});
  fill("ヘルプ(&H)", {{"Norvelleのバージョン情報(&A)...", ctl::kCmdAbout}});
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
  if (quiet_ == 0) editor_.OnTextChanged(id);
}

void SettingsDialog::SelectionChanged(int id) {
  if (quiet_ == 0) editor_.OnSelectionChanged(id);
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
  p.setColor(QPalette::Window, QColor(colour.red, colour.green, colour.blue));
  s->setPalette(p);
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
  dialog.setNameFilters(QtFilters(filter));
  return ChosenPath(dialog);
}

std::optional<std::string> SettingsDialog::SaveFile(std::string_view filter, std::string_view folder,
                                                    std::string_view proposed_name) {
  QFileDialog dialog(this, Caption("名前を付けて保存"), FromSjis(folder));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(QtFilters(filter));
  if (!proposed_name.empty()) dialog.selectFile(FromSjis(proposed_name));
  return ChosenPath(dialog);
}

int RunSettingsDialog() {
  SettingsDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace norvelle
