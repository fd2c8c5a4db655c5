// A line store without conversion steps of its own, for the tests of the
// store, the line operations, the steps and the report.
#ifndef CNV_ENGINE_STORE_TEST_SUPPORT_H_
#define CNV_ENGINE_STORE_TEST_SUPPORT_H_

#include <string>
#include <vector>

#include "engine/cnv_base.h"

class Store : public CCnvBase {
 public:
  Store() = default;
  // Each text is split into its two parts as a load splits it.
  explicit Store(const std::vector<std::u16string>& lines) { AppendLines(lines); }
  int ConvertLanProvider() override { return 1; }
  int ConvertPpProvider() override { return 1; }
  int ConvertSystemSettings() override { return 1; }
};

#endif  // CNV_ENGINE_STORE_TEST_SUPPORT_H_
