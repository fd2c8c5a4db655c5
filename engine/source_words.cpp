#include "engine/source_words.h"

#include <algorithm>
#include <iterator>

#include "engine/strutil.h"

namespace {

constexpr std::u16string_view kCommandWords[] = {
    u"administrator",
    u"alarm",
    u"bgp",
    u"bridge",
    u"clear",
    u"console",
    u"description",
    u"dhcp",
    u"dns",
    u"ethernet",
    u"exit",
    u"external-memory",
    u"heartbeat",
    u"httpd",
    u"ip",
    u"ipsec",
    u"ipv6",
    u"l2tp",
    u"lan",
    u"login",
    u"nat",
    u"no",
    u"ntpdate",
    u"ospf",
    u"pp",
    u"ppp",
    u"pppoe",
    u"pptp",
    u"provider",
    u"quit",
    u"remote",
    u"rip",
    u"save",
    u"schedule",
    u"security",
    u"show",
    u"snmp",
    u"sntpd",
    u"sshd",
    u"statistics",
    u"switch",
    u"syslog",
    u"telnetd",
    u"tftp",
    u"timezone",
    u"tunnel",
    u"upnp",
    u"url",
    u"usbhost",
    u"user",
    u"vrrp",
    u"wan",
};

}  // namespace

bool BeginsWithCommandWord(std::u16string_view commandPart) {
  size_t start = 0;
  while (start < commandPart.size() && IsBlank(commandPart[start])) ++start;
  size_t end = start;
  while (end < commandPart.size() && !IsBlank(commandPart[end]) && commandPart[end] != u'\r') {
    ++end;
  }
  const std::u16string_view word = commandPart.substr(start, end - start);
  return !word.empty() && std::find(std::begin(kCommandWords), std::end(kCommandWords), word) !=
                              std::end(kCommandWords);
}
