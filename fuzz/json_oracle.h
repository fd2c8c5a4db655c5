// The checks of a run's JSON document, in a file of their own: the fuzzer
// need not learn the JSON parser's branches, so this file is built without
// coverage instrumentation.
#ifndef CNV_FUZZ_JSON_ORACLE_H_
#define CNV_FUZZ_JSON_ORACLE_H_

#include <cstddef>
#include <string_view>

// Whether `text` is valid UTF-8: shortest forms only, no surrogate, nothing
// above U+10FFFF.
bool ValidUtf8(std::string_view text);

// The promise the JSON document `json` of a run breaks, in words, or null
// when it keeps them all: it is valid UTF-8, it parses, its result says
// whether the input was `converted`, and its steps hold `edits` edits.
const char* JsonDocumentFault(std::string_view json, bool converted, std::size_t edits);

#endif  // CNV_FUZZ_JSON_ORACLE_H_
