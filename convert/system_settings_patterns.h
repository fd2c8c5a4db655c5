// The patterns and lines of the system settings step.
#ifndef CNV_CONVERT_SYSTEM_SETTINGS_PATTERNS_H_
#define CNV_CONVERT_SYSTEM_SETTINGS_PATTERNS_H_

#include "convert/step_patterns.h"

// An NTP schedule; its server follows the match.
inline constexpr char16_t kNtpSchedule[] = u"{schedule at [0-9]+.+ntpdate}";
// The lines after which the new line may go, in the order they are tried.
inline constexpr char16_t kProviderLan2Name[] = u"{provider lan2 name}";
inline constexpr char16_t kRemoteSetup[] = u"{remote setup accept}";
inline constexpr char16_t kInterfaceAddress[] = u"{ip ((lan)|(wan)|(bridge))[0-9]+[ \\t]*}";

inline constexpr StepPattern kSystemSettingsPatterns[] = {
    {"schedule_ntpdate", kNtpSchedule, false},
    {"provider_lan2_name", kProviderLan2Name, false},
    {"remote_setup_accept", kRemoteSetup, false},
    {"interface_address", kInterfaceAddress, false},
};

// The line written; %s is the server text of the schedule.
inline constexpr char16_t kNtpdateFormat[] = u"provider ntpdate%s";

#endif  // CNV_CONVERT_SYSTEM_SETTINGS_PATTERNS_H_
