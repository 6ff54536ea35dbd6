// The settings window: binds Qt widgets to SettingsEditor, which holds all
// the logic. Builds the controls from the dialog template
// (settings_template.h), the menu bar and the colour swatches, and
// provides the message boxes, file dialogs and About box the logic asks for.
// Texts cross to the logic as CP932; a field the user has not touched gives
// back exactly the bytes it was given, even where they cannot be shown.
#pragma once

#include <QDesktopServices>
#include <QDialog>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QUrl>
#include <functional>
#include <map>
#include <string>

#include "settings/settings_editor.h"
#include "settings/settings_view.h"
#include "ui/qt/preview_window.h"

class QMenuBar;
class QWidget;

namespace norvelle {

struct TemplateItem;

class SettingsDialog : public QDialog,
                       private SettingsControls,
                       private MessageBoxes,
                       private FileDialogs {
 public:
  // boxes, files: stand-ins for the toolkit's message boxes and file dialogs
  // (tests); null uses the real ones.
  explicit SettingsDialog(MessageBoxes* boxes = nullptr, FileDialogs* files = nullptr,
                          QWidget* parent = nullptr);

  SettingsEditor& editor() { return editor_; }
  QWidget* control(int id) const;
  QWidget* swatch(int id) const;
  QMenuBar* menu() const { return menu_; }
  // The rule's preview beside the window ("表示" menu); null until opened.
  PreviewWindow* preview() const { return preview_; }
  void OpenPreview();
  // The installed manuals' folder in the desktop's file manager ("ヘルプ").
  void OpenManuals();
  // Test seam: what opens a URL (QDesktopServices::openUrl).
  void SetUrlOpener(std::function<bool(const QUrl&)> open) { open_url_ = std::move(open); }

  // Escape and the close box: the logic's Cancel.
  void reject() override;

 private:
  QRect Rect(const TemplateItem& item) const;
  template <class W>
  W* Add(const TemplateItem& item, W* widget);
  // The widget of one template item; null for a label or a group box.
  QWidget* MakeControl(const TemplateItem& item);
  QWidget* MakeStatic(const TemplateItem& item);   // labels, the warning, the group box
  QWidget* MakeCommand(const TemplateItem& item);  // buttons and the check box
  QWidget* MakeEdit(const TemplateItem& item);
  QWidget* MakeList(const TemplateItem& item);     // list boxes and the drop-down list
  void BuildControls();
  void BuildSwatches();
  void NameControls();  // accessible names: label buddies, else our own
  void BuildMenu();
  void Changed(int id);
  void SelectionChanged(int id);
  void Command(int id);
  void RuleEdited();  // the preview converts again after the edit

  // SettingsControls
  void SetText(int id, std::string_view text) override;
  std::string Text(int id) const override;
  void SetCheck(int id, bool on) override;
  bool Check(int id) const override;
  void ListClear(int id) override;
  int ListAdd(int id, std::string_view text) override;
  void ListInsert(int id, int index, std::string_view text) override;
  void ListRemove(int id, int index) override;
  int ListCount(int id) const override;
  std::string ListText(int id, int index) const override;
  void ListSelect(int id, int index) override;
  int ListSelection(int id) const override;
  int ListFindExact(int id, std::string_view text) const override;
  void Show(int id, bool visible) override;
  void Focus(int id) override;
  void SetSwatch(int id, Rgb colour) override;
  void SetCaption(std::string_view text) override;
  void Close(bool accepted) override;
  void ShowAbout() override;
  // MessageBoxes
  Answer Ask(std::string_view text, Buttons buttons) override;
  // FileDialogs
  std::optional<std::string> OpenFile(std::string_view filter, std::string_view folder) override;
  std::optional<std::string> SaveFile(std::string_view filter, std::string_view folder,
                                      std::string_view proposed_name) override;

  QWidget* client_ = nullptr;
  QMenuBar* menu_ = nullptr;
  std::map<int, QWidget*> controls_;
  std::map<int, QWidget*> swatches_;
  // What the logic last put into each field, and how it was shown.
  std::map<int, std::pair<QString, std::string>> shown_;
  QPointer<PreviewWindow> preview_;
  int quiet_ = 0;  // > 0 while the logic changes controls: no change reports
  std::function<bool(const QUrl&)> open_url_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  MessageBoxes* boxes_;
  FileDialogs* files_;
  SettingsEditor editor_;
};

// Shows the settings window modally (the application object exists).
int RunSettingsDialog();

}  // namespace norvelle
