#include "report/messages.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>

#include "platform/encoding.h"

namespace norvelle {

namespace {

struct MessageRow {
  Msg id;
  const char* utf8;
};

// In the order of Msg; the check below keeps the two in step.
constexpr MessageRow kMessages[] = {
    {Msg::kStatusReading, "ファイル読み込み中"},
    {Msg::kStatusAnalysing, "命令解析中"},
    {Msg::kStatusConverting, "変換中"},
    {Msg::kStatusWriting, "書き込み中"},
    {Msg::kStatusDone, "完了"},
    {Msg::kStatusDoneErrors, "エラーが発生しましたが、最後まで終了しました"},
    {Msg::kStatusFailed, "変換失敗"},
    {Msg::kStatusPreparing, "準備中"},
    {Msg::kCaptionClose, "閉じる"},
    {Msg::kCaptionCancel, "ｷｬﾝｾﾙ"},
    {Msg::kLabelErrorReport, "エラーレポート"},
    {Msg::kSameName, "変換元ファイル名と変換先ファイル名が同じです"},
    {Msg::kCannotOpenSource, "変換元ファイルを開けません"},
    {Msg::kSourceEmpty, "変換元ファイルが空です"},
    {Msg::kCannotCreateOutput, "変換先ファイルを作成できません"},
    {Msg::kErrorCount, "%d 個のエラーが発生しました"},
    {Msg::kUnknownCommand, "[%d]：'%s'認識できない命令です。"},
    {Msg::kBadHeading, "[%d]：'%s'認識できない命令です。(hX命令は半角数字1-6を使用してください)"},
    {Msg::kMustBeAlone, "[%d]：'%s'命令は単独使用しなければいけません"},
    {Msg::kBadElementNumber, "[%d]：指定した要素番号が無効です"},
    {Msg::kCannotAccessRule, "[%d]：指定された設定ファイル\"%s\"にアクセスできません"},
    {Msg::kCannotOpenInclude, "[%d]：ファイル\"%s\"を開けません"},
    {Msg::kOutOfMemory, "メモリが足りないため変換できません"},
    {Msg::kInternalError, "内部エラーのため変換できません"},
    {Msg::kInvalidUtf8, "[%d]：UTF-8として正しくないバイト列をU+FFFDに置き換えました"},
    {Msg::kTooManyCarried, "[%d]：CP932にない文字が多すぎるため、U+FFFDに置き換えました"},
    {Msg::kPatternCutOff, "[%d]：自動置換パターンの照合が打ち切られました"},
    {Msg::kLineTooLong, "[%d]：行が長すぎるため変換できません"},
    {Msg::kHeaderTooLong, "[%d]：HTML先頭タグが長くなりすぎるため、'%s'を置き換えませんでした"},
    {Msg::kFooterTooLong, "[%d]：HTML終了タグが長くなりすぎるため、'%s'を置き換えませんでした"},
};

constexpr std::size_t kMsgCount = std::size(kMessages);

constexpr bool InOrder() {
  for (std::size_t i = 0; i < kMsgCount; ++i)
    if (static_cast<std::size_t>(kMessages[i].id) != i) return false;
  return static_cast<std::size_t>(Msg::kFooterTooLong) + 1 == kMsgCount;
}
static_assert(InOrder(), "kMessages must list every Msg, in order");

}  // namespace

const char* MessageUtf8(Msg m) { return kMessages[static_cast<std::size_t>(m)].utf8; }

const std::string& Message(Msg m) {
  // All texts in one conversion: opening a converter costs more than
  // converting the lot. NUL stays NUL, and no CP932 pair holds a zero byte.
  static const auto table = [] {
    std::string joined;
    for (const MessageRow& row : kMessages) joined.append(row.utf8).push_back('\0');
    std::string cp;
    Utf8ToCp932(joined, cp);
    std::array<std::string, kMsgCount> t;
    std::size_t at = 0;
    for (std::string& text : t) {
      const std::size_t nul = cp.find('\0', at);
      text = cp.substr(at, nul - at);
      at = nul + 1;
    }
    return t;
  }();
  return table[static_cast<std::size_t>(m)];
}

bool SplitNumberedLine(std::string_view line, int& number, std::string_view& rest) {
  const std::size_t close = line.find(']');
  if (line.substr(0, 1) != "[" || close == std::string_view::npos || close == 1) return false;
  long long n = 0;
  for (std::size_t i = 1; i < close; ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    n = std::min<long long>(n * 10 + (line[i] - '0'), INT_MAX);
  }
  number = int(n);
  rest = line.substr(close + 1);
  return true;
}

bool IsReportOf(std::string_view line, Msg m) {
  std::string_view format = Message(m);
  int number = 0;
  std::string_view rest;
  if (format.substr(0, 4) != "[%d]" || !SplitNumberedLine(line, number, rest)) return false;
  return rest == format.substr(4);
}

}  // namespace norvelle
