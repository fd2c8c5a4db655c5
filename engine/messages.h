// The product's string table: the user-visible messages by resource id.
// The Windows resources carry the same texts.
#ifndef CNV_ENGINE_MESSAGES_H_
#define CNV_ENGINE_MESSAGES_H_

#include <string>

enum MessageId : int {
  kIdsConvertSucceeded = 101,  // the dialog's success message
  // 102-104 belong to the dialog (see ui/)
  kIdsErrorNone = 105,
  kIdsErrorUnsupported = 106,
  kIdsErrorNotConvertible = 107,
  kIdsErrorOperation = 108,
  kIdsErrorOutputOpen = 109,
  kIdsErrorInputOpen = 110,
};

// Sets `text` to the string with `id`; false (text unchanged) when the
// table has no such string.
bool LoadMessage(int id, std::u16string& text);

#endif  // CNV_ENGINE_MESSAGES_H_
