#include "platform/signal_shield.h"

#include <pthread.h>

#include <initializer_list>

namespace norvelle {

SignalShield::SignalShield() {
  sigset_t hold;
  sigemptyset(&hold);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&hold, sig);
  pthread_sigmask(SIG_BLOCK, &hold, &old_mask_);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, &old_xfsz_);
}

SignalShield::~SignalShield() {
  sigaction(SIGXFSZ, &old_xfsz_, nullptr);
  pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
}

void SignalShield::PassHandledInterrupt(bool on) {
  for (int sig : {SIGINT, SIGTERM}) {
    struct sigaction cur {};
    if (sigismember(&old_mask_, sig) || sigaction(sig, nullptr, &cur) != 0) continue;
    // Only a handler of the program's own: the default action would end the
    // process in the middle of the write.
    if (!(cur.sa_flags & SA_SIGINFO) && (cur.sa_handler == SIG_DFL || cur.sa_handler == SIG_IGN)) continue;
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(on ? SIG_UNBLOCK : SIG_BLOCK, &one, nullptr);
  }
}

}  // namespace norvelle
