// The converter for a configuration saved from the router's web GUI: a flat
// list of commands.
#ifndef CNV_CONVERT_CNV_GUI_H_
#define CNV_CONVERT_CNV_GUI_H_

#include "engine/cnv_base.h"

class CCnvGUI : public CCnvBase {
 public:
  ~CCnvGUI() override = default;
  int ConvertLanProvider() override;
  int ConvertPpProvider() override;
  int ConvertSystemSettings() override;
};

#endif  // CNV_CONVERT_CNV_GUI_H_
