// The fleet form, -o DIR INPUT...: many conversions at once, their
// messages in input order, and a summary of the run.
#ifndef CNV_CLI_FLEET_RUN_H_
#define CNV_CLI_FLEET_RUN_H_

#include <ostream>

#include "cli/options.h"

// Every conversion is the one a single run would make, with its own output
// written atomically; their messages and documents come in input order; a
// summary ends the run. `errIsTerminal` draws the progress line.
int RunFleet(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal);

#endif  // CNV_CLI_FLEET_RUN_H_
