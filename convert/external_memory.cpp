// The external-memory step: the USB-host file settings of the source take
// the keyword "external-memory" in the target.
#include "convert/external_memory_patterns.h"
#include "convert/shared_steps.h"
#include "engine/line_ops.h"
#include "engine/strutil.h"

int ConvertExternalMemory(CCnvBase& converter) {
  CCnvMatchList found;
  if (!FindLines(converter, kUsbhostFilename, found, 0, -1, 0)) return 1;
  for (const CCnvMatch& match : found) {
    std::u16string text = Substring(match.m_text, match.m_start);
    ReplaceAll(text, kUsbhostWord, kExternalMemoryWord);
    SetCommandPart(converter, match.m_line, text);
  }
  return 1;
}
