#include "cli/report_render.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>

#include "cli/catalogue.h"
#include "cli/report_words.h"
#include "engine/engine.h"
#include "engine/strutil.h"

namespace {

using Json = nlohmann::ordered_json;

// "1 line", "2 lines": `one` and `many` are texts of the catalogue with
// the count as {1}.
std::u16string Counted(size_t count, const char* one, const char* many) {
  return Tr16(count == 1 ? one : many, {Decimal(count)});
}

std::u16string LineLabel(int32_t inputLine) {
  return inputLine > 0 ? Tr16("line {1}", {Decimal(static_cast<size_t>(inputLine))})
                       : Tr16("added line");
}

// Columns on a terminal: two for the wide characters of East Asian
// scripts, one for the others.
size_t Columns(std::u16string_view text) {
  size_t columns = 0;
  for (char16_t c : text) {
    if (c >= 0xDC00 && c < 0xE000) continue;  // the second half of a pair
    columns += (c >= 0x1100 && c < 0x1160) || (c >= 0x2E80 && c < 0xA4D0) ||
                       (c >= 0xAC00 && c < 0xD7A4) || (c >= 0xF900 && c < 0xFB00) ||
                       (c >= 0xFF00 && c < 0xFF61) || (c >= 0xFFE0 && c < 0xFFE7)
                   ? 2
                   : 1;
  }
  return columns;
}

// `text` followed by blanks up to `columns`.
std::u16string Padded(std::u16string text, size_t columns) {
  const size_t used = Columns(text);
  if (used < columns) text.append(columns - used, u' ');
  return text;
}

// The rows of one step's edits. For an insert, the input line it follows
// comes from replaying the step's edits on the input line of every line
// before the step (`origins`, updated to the lines after it); the edits of
// a step come in the order of their indices, so one pass does.
void EditLines(const ReportStep& step, std::vector<int32_t>& origins,
               std::vector<std::u16string>& lines) {
  constexpr size_t kLabelWidth = 16;
  // The words of the edits, in one column as wide as the widest.
  const std::u16string words[] = {Tr16("inserted"), Tr16("deleted"), Tr16("replaced"), Tr16("by")};
  size_t wordWidth = 0;
  for (const std::u16string& word : words) wordWidth = std::max(wordWidth, Columns(word));
  const auto row = [&](const std::u16string& label, size_t word, const std::u16string& text) {
    lines.push_back(u"  " + Padded(label, std::max(Columns(label) + 1, kLabelWidth)) +
                    Padded(words[word], wordWidth) + u"  " + text);
  };
  std::vector<int32_t> after;
  after.reserve(origins.size());
  size_t next = 0;  // the next line of `origins` not yet taken over
  int32_t lastInput = 0;
  const auto takeUpTo = [&](size_t index) {
    while (after.size() < index && next < origins.size()) {
      if (origins[next] > 0) lastInput = origins[next];
      after.push_back(origins[next++]);
    }
  };
  for (const ReportEdit& edit : step.edits) {
    takeUpTo(static_cast<size_t>(edit.index));
    switch (edit.op) {
      case EditOp::kInsert:
        row(lastInput > 0 ? Tr16("after line {1}", {Decimal(static_cast<size_t>(lastInput))})
                          : Tr16("at the top"),
            0, edit.line);
        after.push_back(0);
        break;
      case EditOp::kDelete:
        row(LineLabel(edit.inputLine), 1, edit.old);
        ++next;
        break;
      case EditOp::kReplace:
        row(LineLabel(edit.inputLine), 2, edit.old);
        row(u"", 3, edit.line);
        if (edit.inputLine > 0) lastInput = edit.inputLine;
        after.push_back(origins[next++]);
        break;
    }
  }
  takeUpTo(SIZE_MAX);
  origins.swap(after);
}

const char* ShapeName(int32_t shape) {
  switch (shape) {
    case kConverterGui:
      return "web-gui";
    case kConverterTftp:
      return "listing";
    default:
      return nullptr;
  }
}

Json InputLineJson(int32_t inputLine) {
  return inputLine > 0 ? Json(inputLine) : Json(nullptr);
}

Json NoticesJson(const std::vector<ReportNotice>& notices) {
  Json array = Json::array();
  for (const ReportNotice& notice : notices) {
    array.push_back({{"code", notice.code},
                     {"input_line", InputLineJson(notice.inputLine)},
                     {"text", Utf16ToUtf8(notice.text)}});
  }
  return array;
}

Json EditJson(const ReportEdit& edit) {
  static const char* const kOps[] = {"insert", "delete", "replace"};
  Json json = {{"op", kOps[static_cast<int>(edit.op)]}, {"index", edit.index}};
  if (edit.op != EditOp::kDelete) json["line"] = Utf16ToUtf8(edit.line);
  if (edit.op != EditOp::kInsert) json["old"] = Utf16ToUtf8(edit.old);
  json["input_line"] = InputLineJson(edit.inputLine);
  return json;
}

Json FailureJson(const ReportFailure& failure) {
  return {{"code", failure.code},
          {"reason", Utf16ToUtf8(failure.reason)},
          {"input_line", InputLineJson(failure.inputLine)}};
}

}  // namespace

std::u16string SummaryCounts(const ConversionReport& report, bool reportShown) {
  const size_t edits = EditCount(report);
  std::u16string text =
      edits == 0
          ? Tr16("no lines changed")
          : Tr16("{1} changed by {2}", {Counted(edits, "{1} line", "{1} lines"),
                                        Counted(StepsWithEdits(report), "{1} step", "{1} steps")});
  const size_t notices = NoticeCount(report);
  if (notices > 0) {
    text += Tr16(", {1}", {Counted(notices, "{1} notice", "{1} notices")});
    if (!reportShown) text += Tr16(" (see --report)");
  }
  return text;
}

std::u16string FailureSuffix(const ConversionReport& report) {
  const ReportFailure* failure = FailureOf(report);
  if (!failure) return {};
  const std::u16string reason = Worded(failure->words, failure->reason);
  if (failure->inputLine <= 0) return Tr16(" ({1})", {reason});
  return Tr16(" (line {1}: {2})", {Decimal(static_cast<size_t>(failure->inputLine)), reason});
}

namespace {

std::u16string FailureLine(const ReportFailure& failure) {
  const std::u16string reason = Worded(failure.words, failure.reason);
  return failure.inputLine > 0 ? Tr16("failed (line {1}): {2}",
                                      {Decimal(static_cast<size_t>(failure.inputLine)), reason})
                               : Tr16("failed: {1}", {reason});
}

}  // namespace

std::vector<std::u16string> ReportLines(const ConversionReport& report) {
  std::vector<std::u16string> lines;
  std::vector<int32_t> origins(static_cast<size_t>(report.inputLines));
  for (size_t i = 0; i < origins.size(); ++i) origins[i] = static_cast<int32_t>(i + 1);
  for (const ReportStep& step : report.steps) {
    std::u16string head = Utf8ToUtf16(step.name) + u": ";
    head += step.edits.empty()
                ? Tr16("no lines changed")
                : Counted(step.edits.size(), "{1} line changed", "{1} lines changed");
    if (!step.notices.empty()) {
      head += Tr16(", {1}", {Counted(step.notices.size(), "{1} notice", "{1} notices")});
    }
    if (step.failure) head += Tr16(", failed");
    lines.push_back(head);
    EditLines(step, origins, lines);
    for (const ReportNotice& notice : step.notices) lines.push_back(u"  " + NoticeLine(notice));
    if (step.failure) lines.push_back(u"  " + FailureLine(*step.failure));
  }
  for (const ReportNotice& notice : report.notices) lines.push_back(NoticeLine(notice));
  if (report.failure) lines.push_back(FailureLine(*report.failure));
  return lines;
}

std::string ReportJson(const JsonRun& run) {
  Json doc;
  doc["format"] = 1;
  doc["input"] = run.input;
  doc["output"] = run.output ? Json(*run.output) : Json(nullptr);
  const char* shape = run.report ? ShapeName(run.report->shape) : nullptr;
  doc["shape"] = shape ? Json(shape) : Json(nullptr);
  doc["result"] = run.skipped ? "skipped" : run.converted ? "converted" : "failed";
  doc["error"] = run.error ? Json(*run.error) : Json(nullptr);
  doc["message"] = run.message;
  doc["lines_in"] = run.linesIn;
  doc["lines_out"] = run.linesOut ? Json(*run.linesOut) : Json(nullptr);
  Json steps = Json::array();
  if (run.report) {
    for (const ReportStep& step : run.report->steps) {
      Json edits = Json::array();
      for (const ReportEdit& edit : step.edits) edits.push_back(EditJson(edit));
      Json failure = nullptr;
      if (step.failure) {
        failure = FailureJson(*step.failure);
      }
      steps.push_back({{"step", step.name},
                       {"edits", std::move(edits)},
                       {"notices", NoticesJson(step.notices)},
                       {"failure", std::move(failure)}});
    }
  }
  doc["steps"] = std::move(steps);
  doc["notices"] = run.report ? NoticesJson(run.report->notices) : Json::array();
  doc["failure"] =
      run.report && run.report->failure ? FailureJson(*run.report->failure) : Json(nullptr);
  return doc.dump(-1, ' ', false, Json::error_handler_t::replace);
}
