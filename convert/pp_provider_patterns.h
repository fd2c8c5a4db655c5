// The patterns and lines of the PP provider step. Its searches cover the
// command parts only; the patterns of one PP are built from its number N.
#ifndef CNV_CONVERT_PP_PROVIDER_PATTERNS_H_
#define CNV_CONVERT_PP_PROVIDER_PATTERNS_H_

#include <string>

#include "convert/step_patterns.h"
#include "engine/strutil.h"

// A PP marked as a provider of either kind, anywhere in the store.
inline constexpr char16_t kAnyPppoeDescription[] = uR"re({description pp ["]?PRV/PPPoE})re";
inline constexpr char16_t kAnyFgaDescription[] =
    uR"re({description pp ["]?PRV/((FGA_LAN)|(FGA_TERM))})re";

inline constexpr StepPattern kPpProviderPatterns[] = {
    {"pppoe_description", kAnyPppoeDescription, false},
    {"fga_description", kAnyFgaDescription, false},
};

// Offset of a PP's DNS selector number over the PP number.
inline constexpr int kDnsSelectorOffset = 500000;

// Templates of the patterns of PP N, filled in by the functions below.
// Built with N - 1: the description of PP N carries N - 1.
inline constexpr char16_t kPpDescription[] =
    uR"re({description pp ["]?PRV/((PPPoE)|(FGA_LAN)|(FGA_TERM))/%d:})re";
// Built with N + kDnsSelectorOffset, N and N.
inline constexpr char16_t kDnsServerSelect[] =
    uR"re({dns server select %d[ \t]+((pp %d)|([0-9]+\.[0-9]+\.[0-9]+\.[0-9]+)|([0-9]+\.[0-9]+\.[0-9]+\.[0-9]+[ \t]+[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+))[ \t]+any . restrict pp %d})re";
// Built with N: the DNS server text of that line.
inline constexpr char16_t kDnsServerPart[] =
    uR"re({((pp %d)|([0-9]+\.[0-9]+\.[0-9]+\.[0-9]+)|([0-9]+\.[0-9]+\.[0-9]+\.[0-9]+[ \t]+[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+))[ \t]+any})re";
// Built with N; the look-ahead keeps "pp enable 1" from matching "pp enable 10".
inline constexpr char16_t kPpEnable[] = uR"re({pp enable %d}![0-9])re";
inline constexpr char16_t kPpSelectNumber[] = uR"re({pp select %d}![0-9])re";

inline std::u16string PpDescriptionPattern(int pp) {
  return Format(kPpDescription, {pp - 1});
}
inline std::u16string DnsServerSelectPattern(int pp) {
  return Format(kDnsServerSelect, {pp + kDnsSelectorOffset, pp, pp});
}
inline std::u16string DnsServerPartPattern(int pp) {
  return Format(kDnsServerPart, {pp});
}
inline std::u16string PpEnablePattern(int pp) {
  return Format(kPpEnable, {pp});
}
inline std::u16string PpSelectNumberPattern(int pp) {
  return Format(kPpSelectNumber, {pp});
}

// While the PPs are converted, the searches look only at the lines that
// hold one of these, which every match of the patterns above contains.
inline constexpr const char16_t* kSearchedLiterals[] = {u"description pp ", u"pp select ",
                                                        u"dns server select ", u"pp enable "};

// Lines written.
inline constexpr char16_t kPpNameLine[] = u" pp name \"PRV/%d/1/5/0/0/0:%s\"";
inline constexpr char16_t kDnsServerByNumberLine[] = u" provider dns server %d %s";
inline constexpr char16_t kDnsServerByPpLine[] = u" provider dns server %s %d";
inline constexpr char16_t kProviderSelectLine[] = u" provider select %d";
inline constexpr char16_t kProviderSetNamedLine[] = u"provider set %d \"%s\"";
inline constexpr char16_t kProviderSetLine[] = u"provider set %d";
// The comment block of the sectioned listing in front of the provider line.
inline constexpr const char16_t* kProviderInfoComments[] = {u"", u" # Provider information", u""};
// The provider block in front of the PP definitions: kProviderLan1Line,
// these two, and the LAN2 name line with the name of the PP converted last.
inline constexpr char16_t kProviderTypeLine[] = u"provider type isdn-terminal";
inline constexpr char16_t kProviderFilterLine[] = u"provider filter routing connection";
inline constexpr char16_t kProviderLan2NameLine[] = u"provider lan2 name \"PPPoE/0/1/5/0/0/0:%s\"";

#endif  // CNV_CONVERT_PP_PROVIDER_PATTERNS_H_
