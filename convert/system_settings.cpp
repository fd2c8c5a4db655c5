// The system settings conversion: an NTP schedule gains the provider ntpdate
// line that the target needs, placed next to the provider definitions.
// Remote-setup and interface lines stay as they are; the web-GUI variant
// only uses them to place the new line.
#include <string>
#include <vector>

#include "convert/cnv_gui.h"
#include "convert/cnv_tftp.h"
#include "convert/listing_sections.h"
#include "convert/system_settings_patterns.h"
#include "engine/line_ops.h"
#include "engine/report.h"
#include "engine/strutil.h"

namespace {

// The step both converters begin with: builds the provider ntpdate line from
// the first NTP schedule and takes that schedule's input line. 1 when there
// is a schedule, 0 when there is none, -1 when the search itself failed.
int NtpdateLine(CCnvBase& store, std::u16string& line, InputLine& where) {
  CCnvMatchList list;
  if (!FindCommandLines(store, kNtpSchedule, list)) {
    return store.m_error == kCnvOperationError ? -1 : 0;
  }
  const CCnvMatch& schedule = list.front();
  where = LineAt(store, schedule.m_line);
  for (size_t i = 1; i < list.size(); ++i) {
    Notice(store, "ntp-schedule-unused", LineAt(store, list[i].m_line),
           Said(u"only the first NTP schedule gives the 'provider ntpdate' line; this one is left "
                u"as it "
                u"is"));
  }
  const std::u16string server = TextBeforeSyslog(Substring(schedule.m_text, schedule.m_end));
  line = Format(kNtpdateFormat, {server});
  return 1;
}

// Inserts `line` after the last line matching `anchor`; 0 when none matches.
int InsertAfterLast(CCnvBase& store, const char16_t* anchor, const std::u16string& line) {
  CCnvMatchList list;
  if (!FindCommandLines(store, anchor, list)) return 0;
  InsertLines(store, {line}, list.back().m_line + 1, 0);
  return 1;
}

}  // namespace

int CCnvGUI::ConvertSystemSettings() {
  std::u16string line;
  InputLine schedule;
  const int found = NtpdateLine(*this, line, schedule);
  if (found <= 0) return found == 0 ? 1 : 0;

  for (const char16_t* anchor : {kProviderLan2Name, kRemoteSetup, kInterfaceAddress}) {
    if (InsertAfterLast(*this, anchor, line)) return 1;
  }
  return FailNotConvertible(
      *this, "ntp-anchor-missing", schedule,
      Said(u"the NTP schedule needs a 'provider lan2 name', 'remote setup accept' "
           u"or 'ip lan|wan|bridge<n>' line to put 'provider ntpdate' after, and "
           u"there is none"));
}

int CCnvTFTP::ConvertSystemSettings() {
  std::u16string line;
  InputLine schedule;
  const int found = NtpdateLine(*this, line, schedule);
  if (found <= 0) return found == 0 ? 1 : 0;

  if (InsertAfterLast(*this, kProviderLan2Name, line)) return 1;

  const int ppHeader = LastSectionHeader(*this, kPpSectionTitle);
  if (ppHeader < 0) {
    return FailNotConvertible(
        *this, "ntp-anchor-missing", schedule,
        Said(u"the NTP schedule needs a 'provider lan2 name' line or a 'PP "
             u"configuration' section header to put 'provider ntpdate' next to, "
             u"and there is neither"));
  }
  // A provider section of its own in front of the last PP header.
  InsertProviderSection(*this, ppHeader, ProviderSectionPlace::kBeforeFrame, {line});
  return 1;
}
