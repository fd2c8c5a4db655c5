// Fuzzes the whole conversion from raw bytes to the output's bytes through
// the engine, in memory: no file is written and nothing waits for a disk.
// The first byte holds flags: bit 0 prefixes the two markers of a sectioned
// listing so that both converters are reached, bit 1 reads and writes in
// CP932 instead of UTF-8.
//
// Besides crashes and leaks, every input must keep four promises:
// - the report's edits, replayed in order on the input's lines, give the
//   converted lines (each edit's old line being the one it removes);
// - a converted configuration passes the engine's last check;
// - converting the same bytes again (without the report this time) gives
//   the same result and bytes;
// - the JSON document of the run is valid UTF-8, parses, says whether the
//   input was converted and holds every edit.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/report_render.h"
#include "engine/engine.h"
#include "engine/file_error.h"
#include "engine/output_check.h"
#include "engine/report.h"
#include "engine/strutil.h"
#include "engine/textfile.h"
#include "fuzz/json_oracle.h"

namespace {

const char kInputName[] = "fuzz-input.txt";

[[noreturn]] void Broken(const char* promise) {
  std::fprintf(stderr, "fuzz_convert: broken promise: %s\n", promise);
  std::abort();
}

void Expect(bool kept, const char* promise) {
  if (!kept) Broken(promise);
}

// What one conversion gave: the converter's result, error and message, and
// the output's bytes (header line first, CR LF line ends, as a save writes
// them).
struct Outcome {
  bool decoded = false;  // false: the input was refused as it was read
  int result = 0;
  int32_t error = 0;
  std::u16string message;
  std::string output;
};

// The input's lines as the file layer reads them, or false when it refuses
// the bytes.
bool InputLines(std::string_view bytes, std::vector<std::u16string>& lines) {
  try {
    DecodeTextLines(bytes, kInputName, [&](std::u16string& line) { lines.push_back(line); });
    return true;
  } catch (const FileError&) {
    return false;
  }
}

void CheckReplay(std::vector<std::u16string> lines, const ConversionReport& report,
                 const CCnvBase& store) {
  for (const ReportStep& step : report.steps) {
    for (const ReportEdit& edit : step.edits) {
      // An insert may add a line after the last one; the others need one.
      const size_t positions = lines.size() + (edit.op == EditOp::kInsert ? 1 : 0);
      Expect(edit.index >= 0 && static_cast<size_t>(edit.index) < positions,
             "an edit's index is inside the lines");
      const auto at = lines.begin() + edit.index;
      if (edit.op != EditOp::kInsert) Expect(*at == edit.old, "an edit removes its old line");
      if (edit.op == EditOp::kInsert) lines.insert(at, edit.line);
      if (edit.op == EditOp::kDelete) lines.erase(at);
      if (edit.op == EditOp::kReplace) *at = edit.line;
    }
  }
  Expect(lines == store.JoinedLines(), "the report's edits replay to the converted lines");
}

std::string OutputBytes(const CCnvBase& store) {
  std::string bytes;
  LineEncoder encoder(u"\r\n", [&](std::string_view piece) { bytes.append(piece); });
  encoder.Add(kOutputHeader);
  std::u16string scratch;
  for (size_t i = 0; i < static_cast<size_t>(store.LineCount()); ++i) {
    encoder.Add(store.JoinedLine(i, scratch));
  }
  encoder.Finish();
  return bytes;
}

// The promises of the report of a conversion that gave `outcome`: its edits
// replay, and its JSON document keeps its own.
void CheckReport(const CCnvEngine& engine, const ConversionReport& report,
                 const std::vector<std::u16string>& lines, const Outcome& outcome) {
  const CCnvBase& store = *engine.converter();
  if (!engine.alreadyConverted()) CheckReplay(lines, report, store);
  JsonRun run;
  run.input = kInputName;
  run.converted = outcome.result == 1;
  run.error = outcome.error;
  run.message = Utf16ToUtf8(outcome.message);
  run.linesIn = static_cast<int>(lines.size());
  if (outcome.result == 1) run.linesOut = store.LineCount() + 1;
  run.report = &report;
  if (const char* fault =
          JsonDocumentFault(ReportJson(run), outcome.result == 1, EditCount(report))) {
    Broken(fault);
  }
}

// Converts `bytes`, whose lines the file layer reads as `lines`, and checks
// the promises of one conversion; with `withReport`, the engine collects
// the report too, and the report's promises are checked.
Outcome Convert(const std::string& bytes, const std::vector<std::u16string>& lines,
                bool withReport) {
  Outcome outcome;
  std::optional<CCnvEngine> engine;
  try {
    engine.emplace(bytes, kInputName);
  } catch (const FileError&) {
    return outcome;
  }
  outcome.decoded = true;
  CCnvBase* store = engine->converter();
  Expect(store != nullptr, "input that decodes has a converter");
  Expect(engine->alreadyConverted() || store->JoinedLines() == lines,
         "the converter loads the lines the file layer reads");
  const OutputCheckAllowance allowance = InputAllowance(*store);
  ConversionReport report;
  if (withReport) engine->CollectReport(&report);
  outcome.result = engine->RunSteps();
  outcome.error = store->m_error;
  engine->GetErrorMessage(outcome.message);
  Expect(outcome.result == 0 || outcome.result == 1, "a conversion gives 1 or 0");
  Expect(store->CmdLines().size() == store->CommentLines().size(),
         "every line has a command part and a comment part");
  if (outcome.result == 1) {
    OutputCheckFailure failure;
    Expect(CheckConvertedLines(*store, allowance, failure),
           "a converted configuration passes the last check");
    try {
      outcome.output = OutputBytes(*store);
    } catch (const FileError&) {
      // A character the input's set cannot write: the save fails the same way.
      outcome.output = "(not representable)";
    }
  }
  if (withReport) CheckReport(*engine, report, lines, outcome);
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string input;
  if (data[0] & 1) input = "clear configuration\n#\n# System configuration\n#\n";
  input.append(reinterpret_cast<const char*>(data + 1), size - 1);
  static int encoding = -1;
  if (encoding != (data[0] & 2)) {
    encoding = data[0] & 2;
    Expect(SetFileEncoding(encoding ? "CP932" : "UTF-8"), "the character set is known");
  }

  std::vector<std::u16string> lines;
  const bool decodes = InputLines(input, lines);
  const Outcome first = Convert(input, lines, true);
  Expect(first.decoded == decodes || BeginsWithOutputHeader(input),
         "the engine refuses the bytes the file layer refuses");
  // Again without the report, which must change nothing of the result.
  const Outcome second = Convert(input, lines, false);
  Expect(first.decoded == second.decoded && first.result == second.result &&
             first.error == second.error && first.message == second.message &&
             first.output == second.output,
         "a second conversion of the same bytes gives the same bytes");
  return 0;
}
