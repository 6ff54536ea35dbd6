// What the settings logic needs of its window: the controls, message boxes,
// file dialogs and the About box, reached through small interfaces so that
// the logic runs and is tested without the window toolkit.
//
// All texts crossing these interfaces are CP932, as everywhere inside the
// program; the toolkit binding converts at its edge. Changes the logic makes
// to a control never call back into the logic: the logic runs its own change
// handlers where it needs them (SettingsEditor::SetField). Only changes made
// by the user are reported to the On* handlers.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "rules/listing_colours.h"

namespace norvelle {

// Control ids, as in the dialog template; the colour fields' come from the
// colour table (rules/listing_colours.h).
namespace ctl {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kApply = 3;
inline constexpr int kHeader = 1000;         // multi-line, HeaderStr
inline constexpr int kColorNormal = ListingColourOf(ListingColour::kNormal).control;
inline constexpr int kFooter = 1002;         // multi-line, EndStr
inline constexpr int kLineOut = 1003;        // check box, SrcLineOut
inline constexpr int kColorKeyword = ListingColourOf(ListingColour::kKeyword).control;
inline constexpr int kColorString = ListingColourOf(ListingColour::kString).control;
inline constexpr int kReplaceList = 1010;    // 100 lines "%02d：..."
inline constexpr int kReplaceEntry = 1011;
inline constexpr int kTabStop = 1012;
inline constexpr int kAutoList = 1013;       // sorted word list
inline constexpr int kWord = 1014;
inline constexpr int kReplacement = 1015;
inline constexpr int kColorComment = ListingColourOf(ListingColour::kComment).control;
inline constexpr int kColorLine = ListingColourOf(ListingColour::kLine).control;
inline constexpr int kSplitKey = 1018;
inline constexpr int kAdd = 1019;
inline constexpr int kDelete = 1020;
inline constexpr int kWarning = 1021;        // name-clash label, hidden at start
inline constexpr int kJoinKey = 1022;
inline constexpr int kColorSymbol = ListingColourOf(ListingColour::kSymbol).control;
inline constexpr int kColorChar = ListingColourOf(ListingColour::kChar).control;
inline constexpr int kColorNum = ListingColourOf(ListingColour::kNumber).control;
inline constexpr int kKind = 1026;           // drop-down: M, I, R

// Menu commands.
inline constexpr int kCmdOpen = 32771;
inline constexpr int kCmdNew = 32772;
inline constexpr int kCmdSave = 32773;
inline constexpr int kCmdSaveAs = 32774;
inline constexpr int kCmdExit = 32775;
inline constexpr int kCmdAbout = 32776;

// The colour fields, top to bottom as their swatches stand.
inline constexpr auto kColourFields = [] {
  std::array<int, kListingColourCount> ids{};
  const auto rows = ColoursByRow();
  for (std::size_t i = 0; i < rows.size(); ++i) ids[i] = ListingColourOf(rows[i]).control;
  return ids;
}();
}  // namespace ctl

struct Rgb {
  int red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};

class SettingsControls {
 public:
  virtual ~SettingsControls() = default;

  // Edit fields. Multi-line fields take and give CR LF line ends.
  virtual void SetText(int id, std::string_view text) = 0;
  virtual std::string Text(int id) const = 0;
  virtual void SetCheck(int id, bool on) = 0;
  virtual bool Check(int id) const = 0;

  // Lists (1010, 1013) and the kind list 1026. Indexes count from 0; -1 is
  // "none". A sorted list puts an added line where it sorts and returns that
  // index; an unsorted one appends.
  virtual void ListClear(int id) = 0;
  virtual int ListAdd(int id, std::string_view text) = 0;
  virtual void ListInsert(int id, int index, std::string_view text) = 0;
  virtual void ListRemove(int id, int index) = 0;
  virtual int ListCount(int id) const = 0;
  virtual std::string ListText(int id, int index) const = 0;
  virtual void ListSelect(int id, int index) = 0;
  virtual int ListSelection(int id) const = 0;
  // The first line equal to text, ignoring letter case; -1 when none.
  virtual int ListFindExact(int id, std::string_view text) const = 0;

  virtual void Show(int id, bool visible) = 0;
  virtual void Focus(int id) = 0;
  // The swatch beside a colour field.
  virtual void SetSwatch(int id, Rgb colour) = 0;
  virtual void SetCaption(std::string_view text) = 0;
  // Ends the dialog, accepted (OK) or not.
  virtual void Close(bool accepted) = 0;
  virtual void ShowAbout() = 0;
};

class MessageBoxes {
 public:
  enum class Buttons { kOk, kYesNo, kYesNoCancel };
  enum class Answer { kOk, kYes, kNo, kCancel };
  virtual ~MessageBoxes() = default;
  // Closing the box without a button answers Cancel (or OK, No where there
  // is no Cancel button).
  virtual Answer Ask(std::string_view text, Buttons buttons) = 0;
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // filter: pairs of caption and pattern separated by "|", ended by "||".
  // The chosen path, or none when the user cancelled. A name that cannot be
  // converted to CP932 comes back empty, and fails like a file that cannot
  // be opened.
  virtual std::optional<std::string> OpenFile(std::string_view filter, std::string_view folder) = 0;
  // Asks before an existing file is replaced.
  virtual std::optional<std::string> SaveFile(std::string_view filter, std::string_view folder,
                                              std::string_view proposed_name) = 0;
};

}  // namespace norvelle
