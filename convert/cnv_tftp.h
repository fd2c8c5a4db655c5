// The converter for the sectioned listing handed out over TFTP, in which
// each group of settings has a three-line comment header. Its Load accepts
// only a file that carries both markers of such a listing.
#ifndef CNV_CONVERT_CNV_TFTP_H_
#define CNV_CONVERT_CNV_TFTP_H_

#include "engine/cnv_base.h"

class CCnvTFTP : public CCnvBase {
 public:
  ~CCnvTFTP() override = default;
  int Load(const std::filesystem::path& path) override;
  int LoadBytes(std::string_view bytes, const std::filesystem::path& name) override;
  int ConvertLanProvider() override;
  int ConvertPpProvider() override;
  int ConvertSystemSettings() override;
};

#endif  // CNV_CONVERT_CNV_TFTP_H_
