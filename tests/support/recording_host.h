// A conversion host for tests: records the error report (as UTF-8) and
// never cancels. Header-only, for test binaries that link the conversion.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/host.h"
#include "platform/encoding.h"

namespace norvelle::test {

class RecordingHost : public ConversionHost {
 public:
  void SetStatus(std::string_view text) override { status = Cp932ToUtf8Lossy(text); }
  void AddError(std::string_view line) override { errors.push_back(Cp932ToUtf8Lossy(line)); }
  int ErrorCount() const override { return int(errors.size()); }
  void SetButtonCaption(std::string_view text) override { caption = Cp932ToUtf8Lossy(text); }
  void SetProgressRange(int) override {}
  void SetProgressPos(int) override {}
  bool Pump() override { return false; }
  std::vector<std::string> errors;
  std::string status, caption;
};

}  // namespace norvelle::test
