// SearchHints::Dump: the hints as text, a line for each kind that is known,
// so that tests can read what the analysis derived.
#include <string>

#include "regex/search.h"

namespace {

void AppendUnit(std::string& out, int32_t unit) {
  static const char kHex[] = "0123456789abcdef";
  if (unit == u'\t') {
    out += "\\t";
  } else if (unit >= 0x20 && unit < 0x7F) {
    if (unit == u']' || unit == u'\\' || unit == u'-' || unit == u'^' || unit == u'"') out += '\\';
    out += static_cast<char>(unit);
  } else if (unit < 0x100) {
    out += "\\x";
    out += kHex[unit >> 4];
    out += kHex[unit & 15];
  } else {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 15];
  }
}

// The units below 256 for which `in` says yes, as ranges: `a-z`, `ab`.
template <typename In>
void AppendRanges(std::string& out, const In& in) {
  for (int32_t c = 0; c < 256; ++c) {
    if (!in(c)) continue;
    int32_t last = c;
    while (last + 1 < 256 && in(last + 1)) ++last;
    AppendUnit(out, c);
    if (last > c + 1) out += '-';
    if (last > c) AppendUnit(out, last);
    c = last;
  }
}

// A set as a class; one with the units of 256 or more and most of the
// others as the complement of the rest.
void AppendUnits(std::string& out, const UnitSet& set) {
  int32_t lowCount = 0;
  for (int32_t c = 0; c < 256; ++c) lowCount += set.Has(static_cast<char16_t>(c)) ? 1 : 0;
  const auto has = [&](int32_t c) { return set.Has(static_cast<char16_t>(c)); };
  if (set.high && lowCount == 256) {
    out += "any";
  } else if (set.high && lowCount > 128) {
    out += "[^";
    AppendRanges(out, [&](int32_t c) { return !has(c); });
    out += ']';
  } else {
    out += '[';
    AppendRanges(out, has);
    if (set.high) out += "\\u0100-\\uffff";
    out += ']';
  }
}

void AppendLiteral(std::string& out, const RequiredLiteral& literal) {
  out += '"';
  for (char16_t unit : literal.text) AppendUnit(out, unit);
  out += "\" probe " + std::to_string(literal.probe) + " second " + std::to_string(literal.second);
  if (literal.followed) {
    out += " then ";
    AppendUnits(out, literal.follow);
  }
}

// The steps of a linear program; steps that take one given unit once
// are joined into a quoted text.
void AppendLinear(std::string& out, const LinearProgram& linear) {
  out += linear.anchored ? "linear anchored" : "linear";
  bool quoting = false;
  for (const LinearStep& step : linear.steps) {
    const UnitRanges ranges = UnitRanges::Of(step.units);
    const bool single = !step.optional && !step.repeated && !step.units.high && ranges.count == 1 &&
                        ranges.first[0] == ranges.last[0];
    if (quoting && !single) out += '"';
    if (!quoting || !single) out += ' ';
    if (single && !quoting) out += '"';
    quoting = single;
    if (single) {
      AppendUnit(out, ranges.first[0]);
      continue;
    }
    AppendUnits(out, step.units);
    if (step.optional) out += '?';
    if (step.repeated) out += '*';
  }
  if (quoting) out += '"';
  if (linear.notFollowed) {
    out += " not followed by ";
    AppendUnits(out, linear.notFollowedBy);
  }
}

}  // namespace

std::string SearchHints::Dump() const {
  std::string out;
  if (skipStarts) {
    out += "starts ";
    AppendUnits(out, first);
    if (secondKnown) out += " then ";
    if (secondKnown) AppendUnits(out, second);
    out += '\n';
  }
  if (!prefix.text.empty()) {
    out += "prefix ";
    AppendLiteral(out, prefix);
    out += '\n';
  }
  for (size_t k = 0; k < required.size(); ++k) {
    out += "required ";
    AppendLiteral(out, required[k]);
    out += static_cast<int32_t>(k) == prefixRequired ? " (prefix)\n" : "\n";
  }
  for (size_t top = 0; top < unitLoopAt.size(); ++top) {
    if (unitLoopAt[top] < 0) continue;
    const UnitLoop& loop = unitLoops[static_cast<size_t>(unitLoopAt[top])];
    out += "loop " + std::to_string(top) + " to " + std::to_string(loop.end) + " ";
    AppendUnits(out, loop.units);
    out += loop.unitsExact ? "" : " inexact";
    out += " slot " + std::to_string(loop.slot);
    out += loop.positionDecides ? " position decides\n" : "\n";
  }
  if (linear.usable) AppendLinear(out, linear);
  if (linear.usable) out += '\n';
  return out;
}
