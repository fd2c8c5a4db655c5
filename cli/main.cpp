// Entry point of the command-line tool: wires RunCli to the process's
// arguments, standard streams and interrupts.
#include <clocale>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/interrupt.h"
#include "cli/terminal.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>

#include "engine/strutil.h"

namespace {

// The arguments as UTF-8, read from the wide command line so that no path
// is lost to the ANSI code page.
std::vector<std::string> Arguments(int, char**) {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return args;
  for (int i = 1; i < count; ++i) {
    args.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(wide[i])));
  }
  LocalFree(wide);
  return args;
}

void HandleSignals() {}

}  // namespace

#else

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

// A write past the file-size limit (ulimit -f) then fails like a full disk
// and is reported, with the temporary file removed, instead of ending the
// process and leaving the temporary file behind.
void HandleSignals() {
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace

#endif

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  HandleSignals();
  InstallInterruptHandlers();
  PrepareStandardStreams();
  OverwriteQuestion ask;
  if (StdinIsTerminal()) ask = AskOnTerminal;
  return RunCli(Arguments(argc, argv), std::cin, std::cout, std::cerr, ask, StderrIsTerminal(),
                StdoutIsTerminal());
}
