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

// What a fleet run learns of one conversion besides its exit status.
struct OneOutcome {
  std::u16string notices;         // the notice summary of a conversion that succeeded
  bool alreadyConverted = false;  // the input is an earlier output: refused, nothing written
};

// Reads INPUT once (a file, or `in` for "-") and converts it; every error
// becomes its message on `err` and the tool's exit status. `outcome`, when
// given, receives what a fleet run counts.
int RunOne(const Options& options, const std::filesystem::path& input,
           const std::filesystem::path& output, std::istream& in, std::ostream& out,
           std::ostream& err, const OverwriteQuestion& ask, OneOutcome* outcome);

// The single form: INPUT [OUTPUT].
int RunSingle(Options& options, std::istream& in, std::ostream& out, std::ostream& err,
              const OverwriteQuestion& ask);

#endif  // CNV_CLI_CONVERT_ONE_H_
