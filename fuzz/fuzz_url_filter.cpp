// Fuzzes the URL filter step over structured random configurations: each
// input byte picks a line shape, the following bytes its numbers and
// separators. Checks the store's invariants, the step's result codes, and
// that every line that is not about URL filters stays as it was, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "convert/cnv_gui.h"
#include "convert/shared_steps.h"
#include "engine/strutil.h"

namespace {

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string number() { return std::to_string(next() % 6); }
  std::string blank() {
    static const char* kBlanks[] = {" ", " ", " ", "  ", "\t", " \t"};
    return kBlanks[next() % 6];
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

std::string NumberList(Reader& r) {
  std::string s;
  for (int n = r.next() % 4; n > 0; --n) s += r.blank() + r.number();
  return s;
}

std::string Line(Reader& r) {
  static const char* kInterfaces[] = {"lan1", "lan2", "wan1", "pp", "tunnel"};
  switch (r.next() % 12) {
    case 0:
    case 1:
      return "url filter" + r.blank() + r.number() + r.blank() +
             ((r.next() & 1) ? "reject" : "pass") + " host" + r.number() + ".example";
    case 2:
      return "url filter external-database category" + r.blank() + r.number() + r.blank() +
             ((r.next() & 1) ? "reject" : "pass") + " " + r.number();
    case 3:
    case 4: {
      std::string s = std::string("url ") + kInterfaces[r.next() % 5] + " filter " +
                      ((r.next() & 1) ? "in" : "out") + NumberList(r);
      if (r.next() % 3 == 0) s += " external-database" + NumberList(r);
      if (r.next() % 16 == 0) s += " reputation";
      return s;
    }
    case 5:
      return "pp select " + r.number();
    case 6:
      return "tunnel select " + r.number();
    case 7:
      return "url filter external-database use " +
             std::string((r.next() & 1) ? "digitalarts" : "reputation off category trendmicro");
    case 8:
      return "url filter external-database id" + r.blank() + "x" + r.number();
    case 9:
      return "ip lan1 address 192.168.0.1/24";
    case 10:
      return " description 1 \"a#b\" # note";
    default:
      return "";
  }
}

// The lines, command and comment part, whose command part does not
// mention URLs: the step must leave them alone.
std::vector<std::u16string> OtherLines(const CCnvBase& cnv) {
  std::vector<std::u16string> lines;
  for (size_t i = 0; i < cnv.CmdLines().size(); ++i) {
    if (cnv.CmdLines()[i].find(u"url") != std::u16string::npos) continue;
    lines.push_back(cnv.CmdLines()[i] + u'\n' + cnv.CommentLines()[i]);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  CCnvGUI cnv;
  std::vector<std::u16string> input;
  while (!r.done() && input.size() < 64) input.push_back(Utf8ToUtf16(Line(r)));
  cnv.AppendLines(input);
  const std::vector<std::u16string> others = OtherLines(cnv);
  const int result = ConvertUrlFilter(cnv);
  if (cnv.CmdLines().size() != cnv.CommentLines().size()) std::abort();
  if (OtherLines(cnv) != others) std::abort();
  if (result != 1 && !(result == 0 && cnv.m_error == 2)) std::abort();
  return 0;
}
