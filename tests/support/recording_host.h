// The conversion host of tests and fuzz targets: records the error report
// (as UTF-8) and never cancels. Header-only, for test binaries that link the conversion.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/host.h"
#include "platform/encoding.h"

namespace norvelle::test {

class RecordingHost : public ConversionHost {
 public:
  // keep: how many report lines to keep (as UTF-8); the others are only
  // counted, so that runs with millions of errors stay cheap.
  explicit RecordingHost(std::size_t keep = std::size_t(-1)) : keep_(keep) {}
  void SetStatus(std::string_view text) override { status = Cp932ToUtf8Lossy(text); }
  void AddError(std::string_view line) override {
    ++count;
    if (errors.size() < keep_) errors.push_back(Cp932ToUtf8Lossy(line));
    last_.assign(line);
  }
  int ErrorCount() const override { return count; }
  std::string last_error() const { return Cp932ToUtf8Lossy(last_); }
  void SetButtonCaption(std::string_view text) override { caption = Cp932ToUtf8Lossy(text); }
  void SetProgressRange(int) override {}
  void SetProgressPos(int) override {}
  bool Pump() override { return false; }
  int count = 0;
  std::vector<std::string> errors;  // the first `keep`
  std::string status, caption;

 private:
  std::size_t keep_;
  std::string last_;
};

}  // namespace norvelle::test
