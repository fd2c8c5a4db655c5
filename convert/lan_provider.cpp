// The LAN2/DHCP provider conversion: a LAN2 port that takes its address from
// a provider by DHCP, marked by its description line, becomes the target's
// provider definitions and a catch-all IP filter.
#include <string>
#include <vector>

#include "convert/cnv_gui.h"
#include "convert/cnv_tftp.h"
#include "convert/listing_sections.h"
#include "engine/line_ops.h"
#include "engine/strutil.h"

namespace {

constexpr char16_t kLanDhcpDescription[] = u"{description lan2 [\"]?PRV/DHCP/[0-9]+:}";
constexpr char16_t kLan2NatBinding[] = u"{ip lan2 nat descriptor}";
constexpr char16_t kNatDescriptorType[] = u"{nat descriptor type}";

constexpr char16_t kProviderLan1[] = u"provider lan1 name LAN:";
constexpr char16_t kProviderLan2Format[] = u"provider lan2 name \"PRV/0/1/5/0/0/0:%s\"";

// The step both converters begin with: finds the last LAN2/DHCP description,
// takes its provider name and removes the line. 1 when a description was
// taken, 0 when there is none, -1 when the search itself failed.
int TakeLanDhcpProvider(CCnvBase& store, std::u16string& name) {
  CCnvMatchList list;
  if (!FindCommandLines(store, kLanDhcpDescription, list)) {
    return store.m_error == kCnvOperationError ? -1 : 0;
  }
  const CCnvMatch& description = list.back();
  name = TextBeforeQuote(Substring(description.m_text, description.m_end));
  store.m_cmdLines.erase(store.m_cmdLines.begin() + description.m_line);
  store.m_commentLines.erase(store.m_commentLines.begin() + description.m_line);
  return 1;
}

std::u16string ProviderLan2Line(const std::u16string& name) {
  return Format(kProviderLan2Format, {name});
}

}  // namespace

int CCnvGUI::ConvertLanProvider() {
  std::u16string name;
  const int taken = TakeLanDhcpProvider(*this, name);
  if (taken <= 0) return taken == 0 ? 1 : 0;

  CCnvMatchList list;
  if (!FindCommandLines(*this, kLan2NatBinding, list)) {
    SetError(kCnvNotConvertible);
    return 0;
  }
  InsertLines(*this, {kProviderLan1, ProviderLan2Line(name)}, list.back().m_line + 1, 0);

  if (!FindCommandLines(*this, kNatDescriptorType, list)) {
    SetError(kCnvNotConvertible);
    return 0;
  }
  InsertLines(*this, {kCatchAllFilterLine}, list.back().m_line, 0);
  return 1;
}

int CCnvTFTP::ConvertLanProvider() {
  std::u16string name;
  const int taken = TakeLanDhcpProvider(*this, name);
  if (taken <= 0) return taken == 0 ? 1 : 0;

  const int ppHeader = LastSectionHeader(*this, kPpSectionTitle);
  if (ppHeader < 0) {
    SetError(kCnvNotConvertible);
    return 0;
  }
  // The provider section goes in front of the PP header's opening frame:
  // its lines first, then its own header in front of them.
  const int opening = ppHeader - 2;
  InsertLines(*this, {kProviderLan1, ProviderLan2Line(name), u""}, opening, 0);
  InsertLines(*this, ProviderTypeHeader(), opening, 1);

  const int filterHeader = LastSectionHeader(*this, kIpFilterSectionTitle);
  if (filterHeader < 0) {
    SetError(kCnvNotConvertible);
    return 0;
  }
  const int end = SectionEnd(*this, filterHeader);
  if (end >= 0) InsertLines(*this, {kCatchAllFilterLine}, end, 0);
  return 1;
}
