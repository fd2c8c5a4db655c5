// The pattern and words of the external-memory step.
#ifndef CNV_CONVERT_EXTERNAL_MEMORY_PATTERNS_H_
#define CNV_CONVERT_EXTERNAL_MEMORY_PATTERNS_H_

#include "convert/step_patterns.h"

// A USB-host file setting.
inline constexpr char16_t kUsbhostFilename[] =
    u"{usbhost ((config)|(exec)|(statistics)|(syslog)) filename}";

inline constexpr StepPattern kExternalMemoryPatterns[] = {
    {"usbhost_filename", kUsbhostFilename, false},
};

// The keyword of the source, and the one that replaces it.
inline constexpr char16_t kUsbhostWord[] = u"usbhost";
inline constexpr char16_t kExternalMemoryWord[] = u"external-memory";

#endif  // CNV_CONVERT_EXTERNAL_MEMORY_PATTERNS_H_
