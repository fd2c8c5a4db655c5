// The conversion steps that both converters share; they run after the
// converter-specific steps.
#ifndef CNV_CONVERT_SHARED_STEPS_H_
#define CNV_CONVERT_SHARED_STEPS_H_

#include "engine/cnv_base.h"
#include "engine/line_ops.h"

// Rewrites the URL filter settings: external-database lines, and a range of
// rule numbers of its own for every interface binding. 1, or 0 with error 2.
int ConvertUrlFilter(CCnvBase& converter);
// Renames the USB-host file settings to external-memory settings; always 1.
int ConvertExternalMemory(CCnvBase& converter);

#endif  // CNV_CONVERT_SHARED_STEPS_H_
