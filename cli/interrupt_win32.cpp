#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "cli/interrupt.h"
#include "engine/textfile.h"

namespace {

// Runs on a thread of its own while the conversion goes on. The exit
// status is the one a POSIX shell gives for the matching signal: 130 for
// Ctrl-C (SIGINT, 2), 149 for Ctrl-Break (SIGBREAK, 21), 129 for the
// closing of the console (a hang-up, SIGHUP, 1). TerminateProcess, not
// ExitProcess: the other thread may hold the heap or C runtime locks that
// an orderly exit would wait for.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  UINT status = 0;
  switch (event) {
    case CTRL_C_EVENT:
      status = 128 + 2;
      break;
    case CTRL_BREAK_EVENT:
      status = 128 + 21;
      break;
    case CTRL_CLOSE_EVENT:
      status = 128 + 1;
      break;
    default:
      return FALSE;
  }
  RemovePendingOutputFiles();
  TerminateProcess(GetCurrentProcess(), status);
  return TRUE;
}

}  // namespace

void InstallInterruptHandlers() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
