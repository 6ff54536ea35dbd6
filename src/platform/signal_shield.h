// The hold on signals while a file is replaced or a device written.
//
// While a SignalShield lives, SIGINT, SIGTERM, SIGHUP and SIGQUIT wait and
// SIGXFSZ is ignored (a file-size limit then fails the write instead of
// ending the process); both are restored when it goes, and the signals that
// waited are delivered then. So a killed or interrupted writer never leaves a
// temporary file or half a device write behind. Signals of other threads are
// not touched: the conversion's own threads start with all of them blocked
// (platform/thread.h).
#pragma once

#include <signal.h>

namespace norvelle {

class SignalShield {
 public:
  SignalShield();
  ~SignalShield();
  SignalShield(const SignalShield&) = delete;
  SignalShield& operator=(const SignalShield&) = delete;

  // While a producer makes the text (a conversion's pass 2 can run then), a
  // SIGINT or SIGTERM with a handler of its own (batch mode's cancel) reaches
  // it, so the producer can give up; the rest still waits. Off again when done.
  void PassHandledInterrupt(bool on);

 private:
  sigset_t old_mask_;
  struct sigaction old_xfsz_;
};

}  // namespace norvelle
