// For the tests and benchmarks of the search: the generated configurations
// they run over (the converters' patterns are in
// convert/converter_patterns_test_support.h).
#ifndef CNV_REGEX_SEARCH_TEST_SUPPORT_H_
#define CNV_REGEX_SEARCH_TEST_SUPPORT_H_

#include <fstream>
#include <string>
#include <vector>

// The lines of a generated configuration (ASCII text, CR LF or LF line
// ends); empty when the file cannot be read.
inline std::vector<std::u16string> ReadGeneratedLines(const std::string& path) {
  std::vector<std::u16string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.emplace_back(line.begin(), line.end());
  }
  return lines;
}

#endif  // CNV_REGEX_SEARCH_TEST_SUPPORT_H_
