#include "cli/options.h"

#include <CLI/CLI.hpp>

#include "cli/catalogue.h"
#include "cli/cli.h"
#include "cli/tool_io.h"
#include "engine/strutil.h"

#ifndef CNV_VERSION_MAJOR
#define CNV_VERSION_MAJOR 0
#define CNV_VERSION_MINOR 0
#define CNV_VERSION_PATCH 0
#endif

namespace {

// The unknown options among the arguments the parser could not place, each
// without a value given with "=" ("--bogus" of "--bogus=3").
std::vector<std::string> UnknownOptions(const std::vector<std::string>& unplaced) {
  std::vector<std::string> names;
  for (const std::string& arg : unplaced) {
    // "--", the end of the options, is kept among them.
    if (arg.size() < 2 || arg[0] != '-' || arg == "--") continue;
    names.push_back(arg.substr(0, arg.rfind("--", 0) == 0 ? arg.find('=') : arg.npos));
  }
  return names;
}

// The help's left column without the parser's type names and its
// "REQUIRED", which tell a reader nothing: INPUT shows as "INPUT...", and
// an option's value by its name alone ("-j,--jobs N"; the description says
// what it takes).
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_option_opts(const CLI::Option* option) const override {
    return option->get_positional() ? "..." : CLI::Formatter::make_option_opts(option);
  }
};

}  // namespace

int ParseArguments(const std::vector<std::string>& args, Options& options, std::ostream& out,
                   std::ostream& err) {
  CLI::App app{
      Tr("Converts a configuration saved from a VLK250 router (a web-GUI save or a sectioned "
         "listing) into a configuration for a QDN570 firewall."),
      kProgram};
  // The words of the help's frame, and the group of every option.
  const auto formatter = std::make_shared<HelpFormatter>();
  app.formatter(formatter);
  formatter->label("Usage", Tr("Usage"));
  formatter->label("OPTIONS", Tr("OPTIONS"));
  formatter->label("Positionals", Tr("Positionals"));
  app.option_defaults()->group(Tr("Options"));
  app.set_help_flag("-h,--help", Tr("Print this help message and exit"));
  // Paths may begin with "/" on every platform; options are -x and --name.
  app.allow_windows_style_options(false);
  app.add_option("INPUT", options.paths,
                 Tr("INPUT [OUTPUT]: the configuration file saved from the VLK250 (- for standard "
                    "input) and where to write the QDN570 configuration (default: "
                    "qdn570-config.txt in INPUT's folder; a folder gets that name inside it; - for "
                    "standard output). With -o DIR: one or more INPUTs, files or folders of *.txt "
                    "files"))
      ->required();
  app.add_option("-o,--output-dir", options.outputDir,
                 Tr("Convert every INPUT into DIR, each output named as its input (created when "
                    "missing)"))
      ->type_name("DIR");
  app.add_flag("-r,--recursive", options.recursive,
               Tr("With -o: also the *.txt files in the subfolders of a folder INPUT, keeping "
                  "their relative paths under DIR"));
  app.add_option("-j,--jobs", options.jobs,
                 Tr("With -o: conversions at once, from 1 to 256 (default: the number of cores)"))
      ->type_name("N")
      ->check(CLI::Range(1u, 256u).description(""));
  app.add_flag("-q,--quiet", options.quiet,
               Tr("With -o: no progress, summary or notices; only errors"));
  app.add_flag(
      "-f,--force", options.force,
      Tr("Replace an existing earlier output without asking (never a file that is not one)"));
  app.add_option("-e,--encoding", options.encoding,
                 Tr("Character set of INPUT and OUTPUT, e.g. CP932 or UTF-8 (default: the "
                    "locale's)"))
      ->type_name("NAME");
  app.add_flag("-d,--diff", options.diff,
               Tr("Print a unified diff from INPUT to the converted configuration on standard "
                  "output"));
  app.add_flag("-n,--dry-run", options.dryRun, Tr("Convert and report, but write no file"));
  app.add_flag("--report", options.report,
               Tr("Print the conversion report on standard error: each step's changed lines with "
                  "their input line numbers, its notices, and why a step failed"));
  app.add_flag(
      "--json", options.json,
      Tr("Write the conversion report as one JSON document (format 1) on standard output"));
  app.add_flag("--strict", options.strict,
               Tr("Count a conversion that gives any notice as failed: exit status 1, nothing "
                  "written, the notices listed"));
  app.set_version_flag("-V,--version",
                       std::string(kProgram) + " Version " +
                           VersionText(CNV_VERSION_MAJOR, CNV_VERSION_MINOR, CNV_VERSION_PATCH),
                       Tr("Display program version information and exit"));
  // tools/test-packages reads the statuses from the English footer.
  app.footer(
      Tr("Exit status: 0 converted, 1 the conversion failed, 2 usage error or OUTPUT not "
         "overwritten, 3 a file could not be read or written. With -o, the highest status that "
         "applies to any input."));

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::Success& e) {
    app.exit(e, out, err);  // --help or --version
    return kExitConverted;
  } catch (const CLI::ParseError& e) {
    // The parser complains of a missing INPUT or a bad value before it
    // complains of an unknown option, yet a mistyped option is the likelier
    // mistake, and often the cause of the rest: it is named first.
    const std::vector<std::string> unknown = UnknownOptions(app.remaining());
    if (unknown.empty()) {
      Say(err, PatternText(e.what()));
    } else {
      std::string names = unknown[0];
      for (size_t i = 1; i < unknown.size(); ++i) names += Tr(", {1}", {unknown[i]});
      Say(err, Tr(unknown.size() == 1 ? "unknown option {1}" : "unknown options {1}", {names}));
    }
    err << Tr("Run with --help for more information.") << '\n' << std::flush;
    return kExitUsage;
  }
  return -1;
}
