#include "cli/report_render.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>

#include "engine/engine.h"
#include "engine/strutil.h"

namespace {

using Json = nlohmann::ordered_json;

std::u16string Decimal(size_t value) {
  return Utf8ToUtf16(std::to_string(value));
}

// "1 line", "2 lines".
std::u16string Counted(size_t count, std::u16string_view one, std::u16string_view many) {
  return Decimal(count) + u" " + std::u16string(count == 1 ? one : many);
}

std::u16string LineLabel(int32_t inputLine) {
  return inputLine > 0 ? u"line " + Decimal(static_cast<size_t>(inputLine)) : u"added line";
}

// The rows of one step's edits. For an insert, the input line it follows
// comes from replaying the step's edits on the input line of every line
// before the step (`origins`, updated to the lines after it); the edits of
// a step come in the order of their indices, so one pass does.
void EditLines(const ReportStep& step, std::vector<int32_t>& origins,
               std::vector<std::u16string>& lines) {
  constexpr size_t kLabelWidth = 16;
  const auto row = [&](std::u16string label, std::u16string_view what, const std::u16string& text) {
    label.resize(std::max(label.size() + 1, kLabelWidth), u' ');
    lines.push_back(u"  " + label + std::u16string(what) + u"  " + text);
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
        row(lastInput > 0 ? u"after line " + Decimal(static_cast<size_t>(lastInput))
                          : u"at the top",
            u"inserted", edit.line);
        after.push_back(0);
        break;
      case EditOp::kDelete:
        row(LineLabel(edit.inputLine), u"deleted ", edit.old);
        ++next;
        break;
      case EditOp::kReplace:
        row(LineLabel(edit.inputLine), u"replaced", edit.old);
        row(u"", u"by      ", edit.line);
        if (edit.inputLine > 0) lastInput = edit.inputLine;
        after.push_back(origins[next++]);
        break;
    }
  }
  takeUpTo(SIZE_MAX);
  origins.swap(after);
}

std::u16string NoticeLine(const ReportNotice& notice) {
  std::u16string where = notice.inputLine > 0
                             ? u" (line " + Decimal(static_cast<size_t>(notice.inputLine)) + u")"
                             : u"";
  return u"notice " + Utf8ToUtf16(notice.code) + where + u": " + notice.text;
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

}  // namespace

std::u16string SummaryCounts(const ConversionReport& report, bool reportShown) {
  const size_t edits = EditCount(report);
  std::u16string text = edits == 0 ? u"no lines changed"
                                   : Counted(edits, u"line", u"lines") + u" changed by " +
                                         Counted(StepsWithEdits(report), u"step", u"steps");
  const size_t notices = NoticeCount(report);
  if (notices > 0) {
    text += u", " + Counted(notices, u"notice", u"notices");
    if (!reportShown) text += u" (see --report)";
  }
  return text;
}

std::u16string FailureSuffix(const ConversionReport& report) {
  const ReportFailure* failure = FailureOf(report);
  if (!failure) return {};
  const std::u16string where =
      failure->inputLine > 0 ? u"line " + Decimal(static_cast<size_t>(failure->inputLine)) + u": "
                             : u"";
  return u" (" + where + failure->reason + u")";
}

std::vector<std::u16string> ReportLines(const ConversionReport& report) {
  std::vector<std::u16string> lines;
  std::vector<int32_t> origins(static_cast<size_t>(report.inputLines));
  for (size_t i = 0; i < origins.size(); ++i) origins[i] = static_cast<int32_t>(i + 1);
  for (const ReportStep& step : report.steps) {
    std::u16string head = Utf8ToUtf16(step.name) + u": ";
    head += step.edits.empty() ? u"no lines changed"
                               : Counted(step.edits.size(), u"line", u"lines") + u" changed";
    if (!step.notices.empty()) head += u", " + Counted(step.notices.size(), u"notice", u"notices");
    if (step.failure) head += u", failed";
    lines.push_back(head);
    EditLines(step, origins, lines);
    for (const ReportNotice& notice : step.notices) lines.push_back(u"  " + NoticeLine(notice));
    if (step.failure) {
      const std::u16string where =
          step.failure->inputLine > 0
              ? u" (line " + Decimal(static_cast<size_t>(step.failure->inputLine)) + u")"
              : u"";
      lines.push_back(u"  failed" + where + u": " + step.failure->reason);
    }
  }
  for (const ReportNotice& notice : report.notices) lines.push_back(NoticeLine(notice));
  return lines;
}

std::string ReportJson(const JsonRun& run) {
  Json doc;
  doc["format"] = 1;
  doc["input"] = run.input;
  doc["output"] = run.output ? Json(*run.output) : Json(nullptr);
  const char* shape = run.report ? ShapeName(run.report->shape) : nullptr;
  doc["shape"] = shape ? Json(shape) : Json(nullptr);
  doc["result"] = run.converted ? "converted" : "failed";
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
        failure = {{"reason", Utf16ToUtf8(step.failure->reason)},
                   {"input_line", InputLineJson(step.failure->inputLine)}};
      }
      steps.push_back({{"step", step.name},
                       {"edits", std::move(edits)},
                       {"notices", NoticesJson(step.notices)},
                       {"failure", std::move(failure)}});
    }
  }
  doc["steps"] = std::move(steps);
  doc["notices"] = run.report ? NoticesJson(run.report->notices) : Json::array();
  return doc.dump(-1, ' ', false, Json::error_handler_t::replace);
}
