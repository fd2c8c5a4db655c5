// The command-line tool: `cnvqdn570conf [options] INPUT [OUTPUT]` converts
// one configuration file. RunCli holds the whole tool so that tests can run
// it in-process; main() only wires it to the process's streams.
#ifndef CNV_CLI_CLI_H_
#define CNV_CLI_CLI_H_

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

// Exit statuses of the tool.
enum CliExit : int {
  kExitConverted = 0,         // converted (or help or version shown)
  kExitConversionFailed = 1,  // the engine reported a failure; its message is shown
  kExitUsage = 2,             // bad arguments, or an existing output not overwritten
  kExitFileError = 3,         // reading or writing a file failed
};

// The question asked before an existing output is replaced; returns the
// answer. Empty when there is no terminal to ask on.
using OverwriteQuestion = std::function<bool(const std::u16string& question)>;

// Runs the tool with `args` (the arguments after the program name; on
// Windows in UTF-8, elsewhere in the locale's character set as given).
// INPUT "-" is read from `in`; converted configuration text and diffs go to
// `out`, messages to `err`.
// `errIsTerminal` draws the progress line of the fleet form on `err`;
// `outIsTerminal` writes a diff on `out` in the terminal's character set
// instead of the configuration's.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, const OverwriteQuestion& ask = {}, bool errIsTerminal = false,
           bool outIsTerminal = false);

// True for the answers that mean yes: "y" or "yes" in any case, with blanks
// around them allowed.
bool IsYesAnswer(const std::u16string& answer);

#endif  // CNV_CLI_CLI_H_
