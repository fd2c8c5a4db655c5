// The tool's options and its --help text: what the command line asks for.
#ifndef CNV_CLI_OPTIONS_H_
#define CNV_CLI_OPTIONS_H_

#include <ostream>
#include <string>
#include <vector>

struct Options {
  std::vector<std::string> paths;  // as given: INPUT [OUTPUT], or the inputs of -o
  std::string input;
  std::string output;
  std::string outputDir;  // -o: the fleet form
  bool recursive = false;
  unsigned jobs = 0;  // 0: one per core
  bool quiet = false;
  std::string encoding;
  bool force = false;
  bool diff = false;
  bool dryRun = false;
  bool report = false;
  bool json = false;
  bool strict = false;  // a conversion with any notice counts as failed
  // --max-input-size: an INPUT of more bytes is refused (default: the file
  // layer's kDefaultMaxInputBytes).
  unsigned maxInputMiB = 64;
  // Not an option: standard output is a terminal, where a diff is text to
  // read rather than bytes to keep.
  bool outIsTerminal = false;
};

// Parses `args` into `options`. Returns -1 to go on, or the exit status
// when the run ends here: --help and --version written to `out`, a usage
// error to `err`.
int ParseArguments(const std::vector<std::string>& args, Options& options, std::ostream& out,
                   std::ostream& err);

// The checks of the options that parsing cannot make. Each says what is
// wrong on `err` and returns the exit status, or -1 to go on.
// The single form, INPUT [OUTPUT]: takes INPUT and OUTPUT from the paths
// (standard output for a filter's OUTPUT).
int CheckSingleForm(Options& options, std::ostream& err);
// The fleet form, -o DIR INPUT...
int CheckFleetForm(const Options& options, std::ostream& err);
// The message for a character set (-e) that cannot be selected, unknown or
// unsupported; returns the exit status.
int RefuseEncoding(const std::string& name, std::ostream& err);

#endif  // CNV_CLI_OPTIONS_H_
