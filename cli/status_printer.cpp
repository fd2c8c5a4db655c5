#include "cli/status_printer.h"

#include <algorithm>
#include <cstdio>

#include "cli/catalogue.h"

StatusPrinter::StatusPrinter(std::ostream& err, bool terminal, size_t total)
    : err_(err),
      terminal_(terminal),
      total_(total),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_ - std::chrono::seconds(1)) {}

double StatusPrinter::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void StatusPrinter::Progress(size_t done, size_t failures) {
  done_ = done;
  failures_ = failures;
  if (!terminal_) return;
  const auto now = std::chrono::steady_clock::now();
  if (done != total_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  Draw();
}

void StatusPrinter::Print(const std::string& bytes) {
  Clear();
  err_ << bytes << std::flush;
  if (terminal_ && done_ > 0 && done_ < total_) Draw();
}

void StatusPrinter::Finish() {
  Clear();
}

void StatusPrinter::Clear() {
  if (drawnWidth_ == 0) return;
  err_ << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
  drawnWidth_ = 0;
}

void StatusPrinter::Draw() {
  const double seconds = Seconds();
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.0f", seconds > 0 ? done_ / seconds : 0.0);
  // Bytes, which are at least the columns the line takes: clearing that
  // many blanks clears it.
  const std::string line =
      Tr("[{1}/{2}] {3} failed, {4} files/s",
         {std::to_string(done_), std::to_string(total_), std::to_string(failures_), rate});
  const size_t drawn = line.size();
  err_ << '\r' << line;
  if (drawn < drawnWidth_) err_ << std::string(drawnWidth_ - drawn, ' ');
  err_ << std::flush;
  drawnWidth_ = std::max(drawnWidth_, drawn);
}
