#include <signal.h>
#include <unistd.h>

#include "cli/interrupt.h"
#include "engine/textfile.h"

namespace {

// Only async-signal-safe calls: the interrupted code may hold any lock.
void OnInterrupt(int sig) {
  RemovePendingOutputFiles();
  _exit(128 + sig);
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  // A second signal waits until the first has ended the process.
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, sig);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored on entry stays ignored (nohup, background jobs of a
    // shell without job control).
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &action, nullptr);
  }
}
