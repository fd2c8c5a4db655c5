// The patterns and lines of the LAN2/DHCP provider step.
#ifndef CNV_CONVERT_LAN_PROVIDER_PATTERNS_H_
#define CNV_CONVERT_LAN_PROVIDER_PATTERNS_H_

#include "convert/step_patterns.h"

// The marker of a LAN2 port that takes its address from a provider by DHCP;
// the provider's name follows the match.
inline constexpr char16_t kLanDhcpDescription[] = u"{description lan2 [\"]?PRV/DHCP/[0-9]+:}";
// In a web-GUI save, the provider lines go after this line.
inline constexpr char16_t kLan2NatBinding[] = u"{ip lan2 nat descriptor}";

inline constexpr StepPattern kLanProviderPatterns[] = {
    {"lan2_dhcp_description", kLanDhcpDescription, false},
    {"lan2_nat_descriptor", kLan2NatBinding, false},
};

// Lines written, besides kProviderLan1Line and kCatchAllFilterLine; %s is
// the provider's name.
inline constexpr char16_t kProviderLan2Format[] = u"provider lan2 name \"PRV/0/1/5/0/0/0:%s\"";

#endif  // CNV_CONVERT_LAN_PROVIDER_PATTERNS_H_
