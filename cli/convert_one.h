// One conversion: INPUT read once, converted, and written to OUTPUT, to
// standard output or nowhere (-n), with its diff, report and messages.
#ifndef CNV_CLI_CONVERT_ONE_H_
#define CNV_CLI_CONVERT_ONE_H_

#include <filesystem>
#include <istream>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "cli/options.h"

// How one conversion ended, for the fleet run that counts and lists it.
struct OneOutcome {
  int status = kExitConverted;  // the tool's exit status
  // Why it did not convert: its message on one line, without the program's
  // name or the input's path in front; empty when it converted.
  std::string reason;
  std::u16string notices;         // the notice summary of a conversion that succeeded
  bool alreadyConverted = false;  // the input is an earlier output: refused, nothing written
};

// Reads INPUT once (a file, or `in` for "-") and converts it; every error
// becomes its message on `err`, and the outcome's status and reason.
OneOutcome RunOne(const Options& options, const std::filesystem::path& input,
                  const std::filesystem::path& output, std::istream& in, std::ostream& out,
                  std::ostream& err, const OverwriteQuestion& ask);

// The single form: INPUT [OUTPUT].
int RunSingle(Options& options, std::istream& in, std::ostream& out, std::ostream& err,
              const OverwriteQuestion& ask);

#endif  // CNV_CLI_CONVERT_ONE_H_
