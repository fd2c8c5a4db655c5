#include "convert/cnv_gui.h"

// Pass-through until the provider conversions are built.
int CCnvGUI::ConvertLanProvider() { return 1; }
int CCnvGUI::ConvertPpProvider() { return 1; }
int CCnvGUI::ConvertSystemSettings() { return 1; }
