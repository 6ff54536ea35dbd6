#include "app/terminal_host.h"

#include <csignal>

#include "platform/carry.h"

namespace norvelle {

namespace {

volatile std::sig_atomic_t g_cancel = 0;
void (*volatile g_hook)() = nullptr;

extern "C" void OnSignal(int) {
  g_cancel = 1;
  if (void (*hook)() = g_hook) hook();
}

}  // namespace

TerminalHost::TerminalHost(std::FILE* err, bool interactive) : err_(err), interactive_(interactive) {}

TerminalHost::~TerminalHost() {
  // The last status stays on the terminal as the run's outcome.
  if (drawn_) {
    Draw(true);
    std::fputc('\n', err_);
    std::fflush(err_);
  }
}

void TerminalHost::InstallSignalHandlers() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

void TerminalHost::RequestCancel() { g_cancel = 1; }
void TerminalHost::ResetCancel() { g_cancel = 0; }
void TerminalHost::SetSignalHook(void (*hook)()) { g_hook = hook; }

void TerminalHost::SetStatus(std::string_view text) {
  if (!interactive_) return;  // a status is only ever drawn
  status_ = DisplayUtf8(text);
  Draw(true);
}

void TerminalHost::AddError(std::string_view line) {
  ++errors_;
  if (drawn_) ClearLine();
  std::string u = DisplayUtf8(line);
  std::fprintf(err_, "%s\n", u.c_str());
  std::fflush(err_);
  Draw(true);
}

void TerminalHost::Note(const std::string& line) {
  if (drawn_) ClearLine();
  std::fprintf(err_, "%s\n", line.c_str());
  std::fflush(err_);
  Draw(true);
}

void TerminalHost::SetProgressPos(int pos) {
  pos_ = pos;
  Draw(false);
}

bool TerminalHost::Pump() { return g_cancel != 0; }

void TerminalHost::ClearLine() {
  std::fputs("\r\x1b[K", err_);
  drawn_ = false;
}

void TerminalHost::Draw(bool force) {
  if (!interactive_) return;
  auto now = std::chrono::steady_clock::now();
  // Redrawing for every element would cost more than the conversion itself.
  if (!force && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  constexpr int kWidth = 30;
  int filled = max_ > 0 ? int(long(pos_) * kWidth / max_) : 0;
  if (filled > kWidth) filled = kWidth;
  if (filled < 0) filled = 0;
  std::string bar(std::size_t(filled), '#');
  bar.append(std::size_t(kWidth - filled), '-');
  std::fprintf(err_, "\r\x1b[K[%s] %s", bar.c_str(), status_.c_str());
  std::fflush(err_);
  drawn_ = true;
}

}  // namespace norvelle
