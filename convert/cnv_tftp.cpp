#include "convert/cnv_tftp.h"

// Pass-through until the provider conversions are built.
int CCnvTFTP::ConvertLanProvider() { return 1; }
int CCnvTFTP::ConvertPpProvider() { return 1; }
int CCnvTFTP::ConvertSystemSettings() { return 1; }
