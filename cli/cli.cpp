#include "cli/cli.h"

#include <cctype>

#include "cli/catalogue.h"
#include "cli/convert_one.h"
#include "cli/fleet_run.h"
#include "cli/options.h"
#include "cli/tool_io.h"
#include "engine/file_error.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

namespace {

// Selects the configuration character set (-e) for one run and the user's
// default again afterwards (RunCli may run many times in one process).
// Messages name the user's default themselves.
class EncodingScope {
 public:
  EncodingScope() = default;
  ~EncodingScope() {
    if (selected_) SetFileEncoding("");
  }
  EncodingScope(const EncodingScope&) = delete;
  EncodingScope& operator=(const EncodingScope&) = delete;

  bool Select(const std::string& name) {
    selected_ = SetFileEncoding(name);
    return selected_;
  }

 private:
  bool selected_ = false;
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

}  // namespace

bool IsYesAnswer(const std::u16string& answer) {
  std::u16string word = Trim(answer);
  for (char16_t& c : word) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return word == u"y" || word == u"yes";
}

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, const OverwriteQuestion& ask, bool errIsTerminal,
           bool outIsTerminal) {
  Options options;
  if (int parsed = ParseArguments(args, options, out, err); parsed >= 0) return parsed;
  options.outIsTerminal = outIsTerminal;

  EncodingScope encoding;
  if (!options.encoding.empty() && !encoding.Select(options.encoding)) {
    Say(err, IsKnownCharacterSet(options.encoding)
                 ? Tr("{1} is a character set the tool cannot read or write configurations in; "
                      "use CP932 or UTF-8",
                      {options.encoding})
                 : Tr("unknown character set: {1}", {options.encoding}));
    return kExitUsage;
  }

  if (!options.outputDir.empty()) return RunFleet(options, out, err, errIsTerminal);
  if (options.paths.size() > 2) {
    Say(err, Tr("one INPUT and at most one OUTPUT; to convert several inputs, give -o DIR"));
    return kExitUsage;
  }
  if (options.recursive || options.jobs != 0 || options.quiet) {
    Say(err, Tr("-r, -j and -q go with -o DIR"));
    return kExitUsage;
  }
  options.input = options.paths[0];
  if (options.paths.size() > 1) options.output = options.paths[1];
  return RunSingle(options, in, out, err, ask);
}
