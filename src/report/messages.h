// Every text the conversion shows: status texts, captions and error messages.
// Written once here as UTF-8 and handed out as CP932, the program's encoding.
#pragma once

#include <string>
#include <string_view>

namespace norvelle {

enum class Msg {
  kStatusReading,      // ファイル読み込み中
  kStatusAnalysing,    // 命令解析中
  kStatusConverting,   // 変換中
  kStatusWriting,      // 書き込み中
  kStatusDone,         // 完了
  kStatusDoneErrors,   // エラーが発生しましたが、最後まで終了しました
  kStatusFailed,       // 変換失敗
  kStatusPreparing,    // 準備中
  kCaptionClose,       // 閉じる
  kCaptionCancel,      // ｷｬﾝｾﾙ
  kSameName,           // 変換元ファイル名と変換先ファイル名が同じです
  kCannotOpenSource,   // 変換元ファイルを開けません
  kSourceEmpty,        // 変換元ファイルが空です
  kCannotCreateOutput, // 変換先ファイルを作成できません
  kErrorCount,         // "%d 個のエラーが発生しました"
  kUnknownCommand,     // "[%d]：'%s'認識できない命令です。"
  kBadHeading,         // "... (hX命令は半角数字1-6を使用してください)"
  kMustBeAlone,        // "[%d]：'%s'命令は単独使用しなければいけません"
  kBadElementNumber,   // "[%d]：指定した要素番号が無効です"
  kCannotAccessRule,   // "[%d]：指定された設定ファイル"%s"にアクセスできません"
  kCannotOpenInclude,  // "[%d]：ファイル"%s"を開けません"
  kOutOfMemory,        // メモリが足りないため変換できません
  kInternalError,      // 内部エラーのため変換できません
  kInvalidUtf8,        // "[%d]：UTF-8として正しくないバイト列をU+FFFDに置き換えました"
  kTooManyCarried,     // "[%d]：CP932にない文字が多すぎるため、U+FFFDに置き換えました"
  kPatternCutOff,      // "[%d]：自動置換パターンの照合が打ち切られました"
  kLineTooLong,        // "[%d]：行が長すぎるため変換できません"
  kHeaderTooLong,      // "[%d]：HTML先頭タグが長くなりすぎるため、'%s'を置き換えませんでした"
  kFooterTooLong,      // "[%d]：HTML終了タグが長くなりすぎるため、'%s'を置き換えませんでした"
};

const char* MessageUtf8(Msg m);
// The message (or format) in CP932.
const std::string& Message(Msg m);
// Is line (CP932) a report line of m, a message that starts with "[%d]" and
// has no other conversion? For a host that says why a run failed.
bool IsReportOf(std::string_view line, Msg m);

}  // namespace norvelle
