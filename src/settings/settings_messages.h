// Every text the settings dialog shows of its own, in one place, as UTF-8
// (converted to CP932 where it is shown, see Sjis in settings_editor.cpp).
#pragma once

namespace norvelle::msg {

inline constexpr const char* kCaption = "Norvelle設定";
inline constexpr const char* kCaptionNamed = "%s - Norvelle設定";
inline constexpr const char* kSaveFailed = "保存に失敗しました";
inline constexpr const char* kAskSave = "このルールは編集されています。編集を保存しますか";
inline constexpr const char* kDuplicateEmpty =
    "既に同名の要素があるため、追加できません。\n要素名を変更してください。\n該当要素にカーソルを合わせます";
inline constexpr const char* kOpenFilter =
    "Norvelle設定ファイル(*.qdx)|*.qdx|全てのファイル(*.*)|*.*||";
inline constexpr const char* kSaveFilter = "Norvelle設定ファイル(*.qdx)|*.qdx||";

// Ours: reading a rule file that fails must not lead to a silent overwrite.
inline constexpr const char* kCannotRead = "ルールファイルを読み込めませんでした";
inline constexpr const char* kReadPartly =
    "ルールファイルを最後まで読み込めませんでした。\n読み込めた部分だけを表示します";
inline constexpr const char* kOverwritePartial =
    "このルールファイルは最後まで読み込めていません。\n"
    "上書きすると、読み込めなかった部分は失われます。上書きしますか";

}  // namespace norvelle::msg
