#include "convert/shared_steps.h"

// Pass-through until the URL filter conversion is built.
int ConvertUrlFilter(CCnvBase&) { return 1; }

int DeleteMatchedLines(CCnvBase& converter, const CCnvMatchList& list) {
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    converter.m_cmdLines.erase(converter.m_cmdLines.begin() + it->m_line);
    converter.m_commentLines.erase(converter.m_commentLines.begin() + it->m_line);
  }
  return 1;
}
