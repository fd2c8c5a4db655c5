// The command words of the source configuration language: the first word
// of the command lines a VLK250 writes into a configuration. A file none
// of whose lines begins with one is most likely no configuration at all.
#ifndef CNV_ENGINE_SOURCE_WORDS_H_
#define CNV_ENGINE_SOURCE_WORDS_H_

#include <string_view>

// Whether the first word of `commandPart` (after leading blanks) is a
// command word.
bool BeginsWithCommandWord(std::u16string_view commandPart);

#endif  // CNV_ENGINE_SOURCE_WORDS_H_
