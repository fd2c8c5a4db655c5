#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/convert_test_support.h"
#include "convert/shared_steps.h"
#include "engine/store_test_support.h"

namespace {

TEST(ExternalMemoryTest, RenamesTheFourFileSettings) {
  struct Case {
    std::u16string source;
    std::u16string target;
  };
  const std::vector<Case> cases = {
      {u"usbhost config filename a.txt", u"external-memory config filename a.txt"},
      {u"usbhost exec filename b.txt", u"external-memory exec filename b.txt"},
      {u"usbhost statistics filename c.txt", u"external-memory statistics filename c.txt"},
      {u"usbhost syslog filename d.txt", u"external-memory syslog filename d.txt"},
      {u"usbhost exec filename usbhost.txt", u"external-memory exec filename external-memory.txt"},
      {u"  usbhost config filename a.txt", u"external-memory config filename a.txt"},
      // Not one of the four file settings: unchanged.
      {u"usbhost use on", u"usbhost use on"},
      {u"usbhost config  filename a.txt", u"usbhost config  filename a.txt"},
      {u"usbhost overcurrent filename x", u"usbhost overcurrent filename x"},
  };
  for (const Case& c : cases) {
    Store store({c.source});
    EXPECT_EQ(ConvertExternalMemory(store), 1);
    EXPECT_EQ(store.CmdLines()[0], c.target) << Utf16ToUtf8(c.source);
    EXPECT_EQ(store.m_error, 0);
  }
}

TEST(ExternalMemoryTest, ThroughTheEngineKeepsCommentsAndOtherLines) {
  const ConversionRun run = RunConversion(
      "ip lan1 address 192.168.0.1/24\r\n"
      "usbhost syslog filename usb1:log.txt # usbhost log\r\n"
      "usbhost use on\r\n");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.output,
            ExpectedOutput("ip lan1 address 192.168.0.1/24\n"
                           "external-memory syslog filename usb1:log.txt # usbhost log\n"
                           "usbhost use on"));
}

TEST(ExternalMemoryTest, ConfigurationWithoutSuchLinesIsUnchanged) {
  const ConversionRun run = RunConversion("ip lan1 address 192.168.0.1/24\r\n");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.output, ExpectedOutput("ip lan1 address 192.168.0.1/24"));
}

}  // namespace
