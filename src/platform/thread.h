// Threads for the conversion's own work. They start with every signal
// blocked: signals stay with the thread that started the work, which knows
// what to do with them (batch mode's cancel, the hold while a file is
// replaced); the default action of a signal delivered to a worker would end
// the process in the middle of a write. Each has a name of its own (at most
// 15 bytes), so profilers and `top -H` tell them apart.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <thread>
#include <utility>

namespace norvelle {

template <class F>
std::thread QuietThread(const char* name, F&& work) {
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  std::thread t(std::forward<F>(work));
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  pthread_setname_np(t.native_handle(), name);
  return t;
}

}  // namespace norvelle
