// The guard in front of an existing output: a router's configuration is
// never replaced, an earlier output only with -f or a yes.
#ifndef CNV_CLI_OVERWRITE_GUARD_H_
#define CNV_CLI_OVERWRITE_GUARD_H_

#include <filesystem>
#include <ostream>
#include <string>

#include "cli/cli.h"

// Whether anything, even a broken link, stands at `path`.
bool PathEntryExists(const std::filesystem::path& path);

// Asks before an existing output is replaced; false when it must be kept,
// with the message why in `said` (after the program's name, as it went to
// `err`).
bool MayReplace(const std::filesystem::path& output, bool force, const OverwriteQuestion& ask,
                std::ostream& err, std::string& said);

#endif  // CNV_CLI_OVERWRITE_GUARD_H_
