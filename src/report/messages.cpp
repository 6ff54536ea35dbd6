#include "report/messages.h"

#include <array>

#include "platform/encoding.h"

namespace norvelle {
namespace {
constexpr int kMsgCount = int(Msg::kFooterTooLong) + 1;
}  // namespace
}  // namespace norvelle

namespace norvelle {

const char* MessageUtf8(Msg m) {
  switch (m) {
    case Msg::kStatusReading: return "ファイル読み込み中";
    case Msg::kStatusAnalysing: return "命令解析中";
    case Msg::kStatusConverting: return "変換中";
    case Msg::kStatusWriting: return "書き込み中";
    case Msg::kStatusDone: return "完了";
    case Msg::kStatusDoneErrors: return "エラーが発生しましたが、最後まで終了しました";
    case Msg::kStatusFailed: return "変換失敗";
    case Msg::kStatusPreparing: return "準備中";
    case Msg::kCaptionClose: return "閉じる";
    case Msg::kCaptionCancel: return "ｷｬﾝｾﾙ";
    case Msg::kSameName: return "変換元ファイル名と変換先ファイル名が同じです";
    case Msg::kCannotOpenSource: return "変換元ファイルを開けません";
    case Msg::kSourceEmpty: return "変換元ファイルが空です";
    case Msg::kCannotCreateOutput: return "変換先ファイルを作成できません";
    case Msg::kErrorCount: return "%d 個のエラーが発生しました";
    case Msg::kUnknownCommand: return "[%d]：'%s'認識できない命令です。";
    case Msg::kBadHeading: return "[%d]：'%s'認識できない命令です。(hX命令は半角数字1-6を使用してください)";
    case Msg::kMustBeAlone: return "[%d]：'%s'命令は単独使用しなければいけません";
    case Msg::kBadElementNumber: return "[%d]：指定した要素番号が無効です";
    case Msg::kCannotAccessRule: return "[%d]：指定された設定ファイル\"%s\"にアクセスできません";
    case Msg::kCannotOpenInclude: return "[%d]：ファイル\"%s\"を開けません";
    case Msg::kOutOfMemory: return "メモリが足りないため変換できません";
    case Msg::kInternalError: return "内部エラーのため変換できません";
    case Msg::kInvalidUtf8: return "[%d]：UTF-8として正しくないバイト列をU+FFFDに置き換えました";
    case Msg::kTooManyCarried: return "[%d]：CP932にない文字が多すぎるため、U+FFFDに置き換えました";
    case Msg::kPatternCutOff: return "[%d]：自動置換パターンの照合が打ち切られました";
    case Msg::kLineTooLong: return "[%d]：行が長すぎるため変換できません";
    case Msg::kHeaderTooLong: return "[%d]：HTML先頭タグが長くなりすぎるため、'%s'を置き換えませんでした";
    case Msg::kFooterTooLong: return "[%d]：HTML終了タグが長くなりすぎるため、'%s'を置き換えませんでした";
  }
  return "";
}

const std::string& Message(Msg m) {
  static const auto table = [] {
    std::array<std::string, kMsgCount> t;
    for (int i = 0; i < kMsgCount; ++i) {
      std::string cp;
      Utf8ToCp932(MessageUtf8(static_cast<Msg>(i)), cp);
      t[std::size_t(i)] = cp;
    }
    return t;
  }();
  return table[static_cast<std::size_t>(m)];
}

bool IsReportOf(std::string_view line, Msg m) {
  std::string_view rest = Message(m);
  if (rest.substr(0, 4) != "[%d]" || line.substr(0, 1) != "[") return false;
  rest.remove_prefix(4);
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos || close == 1) return false;
  for (std::size_t i = 1; i < close; ++i)
    if (line[i] < '0' || line[i] > '9') return false;
  return line.substr(close + 1) == rest;
}

}  // namespace norvelle
