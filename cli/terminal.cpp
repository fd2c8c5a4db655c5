#include "cli/terminal.h"

#include <iostream>

#include "cli/catalogue.h"
#include "cli/cli.h"
#include "engine/textfile.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#ifdef _WIN32

namespace {

// Reads one line from the console as UTF-16, so that the answer does not
// depend on the console's code page.
bool ReadConsoleLine(HANDLE input, std::u16string& line) {
  wchar_t buffer[256];
  DWORD read = 0;
  if (!ReadConsoleW(input, buffer, static_cast<DWORD>(std::size(buffer)), &read, nullptr)) {
    return false;
  }
  line.assign(reinterpret_cast<const char16_t*>(buffer), read);
  while (!line.empty() && (line.back() == u'\n' || line.back() == u'\r')) line.pop_back();
  return read > 0;
}

}  // namespace

bool StdinIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool StdoutIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool AskOnTerminal(const std::u16string& question) {
  HANDLE output = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(output, &mode)) {
    DWORD written = 0;
    WriteConsoleW(output, question.data(), static_cast<DWORD>(question.size()), &written, nullptr);
  } else {
    std::cerr << TerminalText(question) << std::flush;
  }
  std::u16string answer;
  if (!ReadConsoleLine(GetStdHandle(STD_INPUT_HANDLE), answer)) return false;
  return IsYesAnswer(answer);
}

void PrepareStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  // Configuration text read from standard input keeps its bytes too.
  _setmode(_fileno(stdin), _O_BINARY);
}

#else

bool StdinIsTerminal() {
  return isatty(STDIN_FILENO) == 1;
}

bool StderrIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

bool StdoutIsTerminal() {
  return isatty(STDOUT_FILENO) == 1;
}

bool AskOnTerminal(const std::u16string& question) {
  std::cerr << TerminalText(question) << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return IsYesAnswer(std::u16string(answer.begin(), answer.end()));
}

void PrepareStandardStreams() {}

#endif
