#include "convert/shared_steps.h"

// Pass-through until the external-memory conversion is built.
int ConvertExternalMemory(CCnvBase&) { return 1; }
