// The fleet run's progress line, kept apart from the conversions: it is
// drawn only on a terminal, and messages written meanwhile go above it.
#ifndef CNV_CLI_STATUS_PRINTER_H_
#define CNV_CLI_STATUS_PRINTER_H_

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

class StatusPrinter {
 public:
  // `terminal`: whether `err` is a terminal, on which the progress line is
  // drawn; `total`: the number of conversions.
  StatusPrinter(std::ostream& err, bool terminal, size_t total);

  // The progress after `done` conversions, `failures` of them failed or in
  // error. Redrawn at most ten times a second, and at the last one.
  void Progress(size_t done, size_t failures);
  // Writes message bytes (whole lines) above the progress line.
  void Print(const std::string& bytes);
  // Takes the progress line away.
  void Finish();

  // Seconds since the printer was made.
  double Seconds() const;

 private:
  void Clear();
  void Draw();

  std::ostream& err_;
  bool terminal_;
  size_t total_;
  size_t done_ = 0;
  size_t failures_ = 0;
  size_t drawnWidth_ = 0;  // characters of the line on the terminal now
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

#endif  // CNV_CLI_STATUS_PRINTER_H_
