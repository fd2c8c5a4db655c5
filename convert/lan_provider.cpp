// The LAN2/DHCP provider conversion: a LAN2 port that takes its address from
// a provider by DHCP, marked by its description line, becomes the target's
// provider definitions and a catch-all IP filter.
#include <string>
#include <vector>

#include "convert/cnv_gui.h"
#include "convert/cnv_tftp.h"
#include "convert/lan_provider_patterns.h"
#include "convert/listing_sections.h"
#include "convert/markers.h"
#include "engine/line_ops.h"
#include "engine/report.h"
#include "engine/strutil.h"

namespace {

// The step both converters begin with: finds the last LAN2/DHCP description,
// takes its provider name and input line and removes the line. 1 when a
// description was taken, 0 when there is none, -1 when the search itself
// failed.
int TakeLanDhcpProvider(CCnvBase& store, std::u16string& name, InputLine& marker) {
  CCnvMatchList list;
  if (!FindCommandLines(store, kLanDhcpDescription, list)) {
    return store.m_error == kCnvOperationError ? -1 : 0;
  }
  const CCnvMatch& description = list.back();
  name = TextBeforeQuote(Substring(description.m_text, description.m_end));
  marker = LineAt(store, description.m_line);
  DeleteLine(store, description.m_line);
  return 1;
}

// The end of a step that did not fail: the LAN2 markers it left.
int NoteLan2MarkersLeft(CCnvBase& store) {
  NoteMarkersLeft(store, u"description lan2 ", u"LAN2", {u"DHCP"},
                  Said(u"LAN2 marker {1} was not converted (only the last 'description lan2 "
                       u"PRV/DHCP/<n>:<name>' line is); the line is left as it is"));
  return 1;
}

int FailLan2(CCnvBase& store, std::string_view code, InputLine marker, ReportText why) {
  return FailNotConvertible(store, code, marker, std::move(why));
}

ReportText NoPpHeader() {
  return Said(
      u"LAN2 is marked PRV/DHCP but the listing has no 'PP configuration' section header to put "
      u"the provider section in front of");
}
ReportText NoFilterHeader() {
  return Said(
      u"LAN2 is marked PRV/DHCP but the listing has no 'IP filter configuration' section header "
      u"to end with the catch-all filter line");
}

std::u16string ProviderLan2Line(const std::u16string& name) {
  return Format(kProviderLan2Format, {name});
}

}  // namespace

int CCnvGUI::ConvertLanProvider() {
  std::u16string name;
  InputLine marker;
  const int taken = TakeLanDhcpProvider(*this, name, marker);
  if (taken < 0) return 0;
  if (taken == 0) return NoteLan2MarkersLeft(*this);

  CCnvMatchList list;
  if (!FindCommandLines(*this, kLan2NatBinding, list)) {
    return FailLan2(*this, "lan2-nat-binding-missing", marker,
                    Said(u"LAN2 is marked PRV/DHCP but there is no 'ip lan2 nat descriptor' line "
                         u"to put the provider lines after"));
  }
  InsertLines(*this, {kProviderLan1Line, ProviderLan2Line(name)}, list.back().m_line + 1, 0);

  if (!FindCommandLines(*this, kNatDescriptorType, list)) {
    return FailLan2(*this, "nat-descriptor-missing", marker,
                    Said(u"LAN2 is marked PRV/DHCP but there is no 'nat descriptor type' line to "
                         u"put the catch-all filter line in front of"));
  }
  InsertLines(*this, {kCatchAllFilterLine}, list.back().m_line, 0);
  return NoteLan2MarkersLeft(*this);
}

int CCnvTFTP::ConvertLanProvider() {
  std::u16string name;
  InputLine marker;
  const int taken = TakeLanDhcpProvider(*this, name, marker);
  if (taken < 0) return 0;
  if (taken == 0) return NoteLan2MarkersLeft(*this);

  const int ppHeader = LastSectionHeader(*this, kPpSectionTitle);
  if (ppHeader < 0) return FailLan2(*this, "pp-header-missing", marker, NoPpHeader());
  InsertProviderSection(*this, ppHeader, ProviderSectionPlace::kAtFrame,
                        {kProviderLan1Line, ProviderLan2Line(name)});

  const int filterHeader = LastSectionHeader(*this, kIpFilterSectionTitle);
  if (filterHeader < 0)
    return FailLan2(*this, "ip-filter-header-missing", marker, NoFilterHeader());
  EndFilterSection(*this, filterHeader);
  return NoteLan2MarkersLeft(*this);
}
