#include "convert/pp_lines.h"

#include <gtest/gtest.h>

#include "convert/pp_provider_patterns.h"
#include "engine/store_test_support.h"

namespace {

// The look-ups by number give the records that a search of every line with
// the PP's own pattern gives, also after a marker was rewritten.
TEST(PpLines, FindWhatTheSearchesFind) {
  Store store({u"pp select 1", u" description pp \"PRV/PPPoE/0:A\"",
               u"x description pp PRV/FGA_LAN/0:B description pp \"PRV/FGA_TERM/1:C\"",
               u" description pp PRV/OTHER/2:D", u" description pp \"PRV/FGA_LAN/10:E",
               u" description pp PRV/PPPoE/3", u"pp enable 1", u"pp enable 10x", u"pp enable 01",
               u"pp enable 2 pp enable 3", u"dns server select 500001 pp 1 any . restrict pp 1",
               u"dns server select 500002 x any . restrict pp 2",
               u"dns server select 500002 1.2.3.4 any . restrict pp 2",
               u"dns server select 5000030 pp 3 any . restrict pp 3", u"pp select 2",
               u"tunnel select 1"});
  PpLines lines(store);
  const int last = store.LineCount() - 1;
  const auto expectSame = [&](int n) {
    SCOPED_TRACE(n);
    CCnvMatchList found;
    FindLinesUpTo(store, PpDescriptionPattern(n), found, 1, last, 0, 1);
    const std::optional<CCnvMatch> marker = lines.Description(store, n, 1, last);
    ASSERT_EQ(marker.has_value(), !found.empty());
    if (marker) {
      EXPECT_EQ(marker->m_line, found[0].m_line);
      EXPECT_EQ(marker->m_start, found[0].m_start);
      EXPECT_EQ(marker->m_end, found[0].m_end);
      EXPECT_EQ(marker->m_text, found[0].m_text);
    }
    FindLinesUpTo(store, PpEnablePattern(n), found, 0, -1, 0, 1);
    EXPECT_EQ(lines.Enable(n), found.empty() ? -1 : found[0].m_line);
    FindLinesUpTo(store, DnsServerSelectPattern(n), found, 0, -1, 0, 1);
    const std::optional<CCnvMatch> dns = lines.DnsSelect(store, n);
    ASSERT_EQ(dns.has_value(), !found.empty());
    if (dns) {
      EXPECT_EQ(dns->m_line, found[0].m_line);
    }
  };
  for (int n = 0; n <= 12; ++n) expectSame(n);
  lines.Rewrite(store, 1, u" pp name \"PRV/1/1/5/0/0/0:A\"");
  expectSame(1);
  EXPECT_EQ(lines.Selects().size(), 2u);
  EXPECT_EQ(lines.PpLast(0), 13);
  EXPECT_EQ(lines.PpLast(14), 14);
  // The line with two markers could match a later search once rewritten.
  EXPECT_FALSE(lines.Exact());
  Store plain({u"pp select 1", u" description pp \"PRV/PPPoE/0:pp\"", u" pp enable 1"});
  EXPECT_TRUE(PpLines(plain).Exact());
}

}  // namespace
