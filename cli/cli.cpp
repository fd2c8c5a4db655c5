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
    return RefuseEncoding(options.encoding, err);
  }
  if (!options.outputDir.empty()) return RunFleet(options, out, err, errIsTerminal);
  return RunSingle(options, in, out, err, ask);
}
