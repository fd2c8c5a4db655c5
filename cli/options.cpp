#include "cli/options.h"

#include <CLI/CLI.hpp>

#include <cctype>

#include "cli/catalogue.h"
#include "cli/cli.h"
#include "cli/tool_io.h"
#include "engine/file_error.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

#ifndef CNV_VERSION_MAJOR
#define CNV_VERSION_MAJOR 0
#define CNV_VERSION_MINOR 0
#define CNV_VERSION_PATCH 0
#endif

static_assert(Options().maxInputMiB << 20 == kDefaultMaxInputBytes);

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

// Whether `name`, which SetFileEncoding refused, is a character set all the
// same: one of Unicode's forms whose line ends are not single bytes (UTF-16,
// UTF-32), which the platform may not know by name, or one the platform
// knows (EBCDIC, say). No configuration file is in such a set.
bool IsKnownCharacterSet(const std::string& name) {
  std::string bare;  // "utf-16le" as "UTF16LE"
  for (const char c : name) {
    if (c != '-' && c != '_')
      bare += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  for (const char* wide :
       {"UTF16", "UTF16LE", "UTF16BE", "UTF32", "UTF32LE", "UTF32BE", "UCS2", "UCS4"}) {
    if (bare == wide) return true;
  }
  try {
    EncodeTextIn(name, u"#");
    return true;
  } catch (const FileError&) {
    return false;
  }
}

// The tool's options on `app`, each stored in `options`; the help's texts
// in the message language.
void AddOptions(CLI::App& app, Options& options) {
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
  app.add_option("--max-input-size", options.maxInputMiB,
                 Tr("Refuse an INPUT of more than N MiB, unread (from 1 to 4096; default: 64)"))
      ->type_name("N")
      ->check(CLI::Range(1u, 4096u).description(""));
  app.set_version_flag("-V,--version",
                       std::string(kProgram) + " Version " +
                           VersionText(CNV_VERSION_MAJOR, CNV_VERSION_MINOR, CNV_VERSION_PATCH),
                       Tr("Display program version information and exit"));
  // tools/test-packages reads the statuses from the English footer.
  app.footer(
      Tr("Exit status: 0 converted, 1 the conversion failed, 2 usage error or OUTPUT not "
         "overwritten, 3 a file could not be read or written. With -o, the highest status that "
         "applies to any input."));
}

}  // namespace

int ParseArguments(const std::vector<std::string>& args, Options& options, std::ostream& out,
                   std::ostream& err) {
  CLI::App app{
      Tr("Converts a configuration saved from a VLK250 router (a web-GUI save or a sectioned "
         "listing) into a configuration for a QDN570 firewall."),
      kProgram};
  AddOptions(app, options);
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

int RefuseEncoding(const std::string& name, std::ostream& err) {
  Say(err, IsKnownCharacterSet(name)
               ? Tr("{1} is a character set the tool cannot read or write configurations in; "
                    "use CP932 or UTF-8",
                    {name})
               : Tr("unknown character set: {1}", {name}));
  return kExitUsage;
}

int CheckSingleForm(Options& options, std::ostream& err) {
  const auto refuse = [&err](const std::string& message) {
    Say(err, message);
    return kExitUsage;
  };
  if (options.paths.size() > 2) {
    return refuse(Tr("one INPUT and at most one OUTPUT; to convert several inputs, give -o DIR"));
  }
  if (options.recursive || options.jobs != 0 || options.quiet) {
    return refuse(Tr("-r, -j and -q go with -o DIR"));
  }
  options.input = options.paths[0];
  if (options.paths.size() > 1) options.output = options.paths[1];
  if (options.input == kStdinName && options.output.empty()) {
    // A filter: the configuration goes to standard output, where a diff
    // cannot go as well. A dry run writes nothing, so it needs no OUTPUT.
    if (options.diff && !options.dryRun) {
      return refuse(
          Tr("-d writes the diff to standard output; with INPUT -, give an OUTPUT file or use -n"));
    }
    // Assigned as a string: GCC 12 warns falsely (-Wrestrict) on the literal.
    if (!options.dryRun) options.output = std::string(kStdoutName);
  }
  const bool toStdout = options.output == kStdoutName;
  if (options.diff && toStdout) {
    return refuse(Tr("-d writes the diff to standard output; give an OUTPUT file or use -n"));
  }
  if (options.json && toStdout) {
    return refuse(Tr("--json writes the report to standard output; give an OUTPUT file or use -n"));
  }
  if (options.json && options.diff) {
    return refuse(Tr("-d and --json both write to standard output; use one of them"));
  }
  return -1;
}

int CheckFleetForm(const Options& options, std::ostream& err) {
  if (options.diff) {
    Say(err, Tr("-d works with one INPUT; use --report or --json with -o"));
    return kExitUsage;
  }
  for (const std::string& arg : options.paths) {
    if (arg == kStdinName) {
      Say(err, Tr("standard input cannot be one of several inputs; give files or folders"));
      return kExitUsage;
    }
  }
  return -1;
}
