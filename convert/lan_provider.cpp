#include "convert/cnv_gui.h"
#include "convert/cnv_tftp.h"

// Pass-through until this conversion is built.
int CCnvGUI::ConvertLanProvider() { return 1; }
int CCnvTFTP::ConvertLanProvider() { return 1; }
