// The product's string table: the user-visible messages by resource id.
// The Windows resources carry the same texts under the same ids.
#ifndef CNV_ENGINE_MESSAGES_H_
#define CNV_ENGINE_MESSAGES_H_

#include <string>

enum MessageId : int {
  // The dialog's strings.
  kIdsAboutMenu = 101,         // system-menu item of the version dialog
  kIdsConvertSucceeded = 102,  // "変換が正常に終了しました。"
  kIdsOverwriteQuestion = 103,  // "%sは既に存在します。\n上書きしますか？" (%s: file name)
  kIdsFileFilter = 104,  // filter of the file dialogs
  // The messages of the converter's error codes 0 to 4, in this order.
  kIdsErrorNone = 105,
  kIdsErrorUnsupported = 106,
  kIdsErrorNotConvertible = 107,
  kIdsErrorOperation = 108,
  kIdsErrorOutputOpen = 109,
  // The engine's message when no converter could open the input.
  kIdsErrorInputOpen = 110,
  // The messages of the converter's error codes 5 and 6.
  kIdsErrorAlreadyConverted = 111,
  kIdsErrorOutputCheck = 112,
  // File errors (FileError) as the Windows front end reports them; %1 is
  // the path of the file.
  kIdsFileErrorDiskFull = 201,  // "%1 に書き込めませんでした。…"
  kIdsFileErrorGeneric = 202,   // "%1 を読み書きできませんでした。…"
  // An input over the size limit (FileError TooLarge): %2 its size in bytes
  // and %3 the limit in MiB; without %2, one with no size beforehand that
  // passed the limit while it was read.
  kIdsFileErrorTooLarge = 203,        // "%1 は %2 バイトあり、…"
  kIdsFileErrorTooLargeStream = 204,  // "%1 は…上限（%2 MiB）を超えたため、…"
};

// Sets `text` to the string with `id`; false (text unchanged) when the
// table has no such string.
bool LoadMessage(int id, std::u16string& text);

#endif  // CNV_ENGINE_MESSAGES_H_
