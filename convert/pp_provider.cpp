#include "convert/cnv_gui.h"
#include "convert/cnv_tftp.h"

// Pass-through until this conversion is built.
int CCnvGUI::ConvertPpProvider() { return 1; }
int CCnvTFTP::ConvertPpProvider() { return 1; }
