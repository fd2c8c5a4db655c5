// The printed search hints, read as the tests of the program's Dump read
// the program: the starts, the prefix and required literals with their
// probes, the unit loops and the linear programs.
#include <gtest/gtest.h>

#include <string>

#include "regex/hints_test_support.h"
#include "regex/search.h"

namespace {

struct HintsDumpCase {
  const char16_t* pattern;
  const char* hints;
};

TEST(SearchHintsDump, EachKindOfHint) {
  const HintsDumpCase cases[] = {
      // c is the rarest unit of the prefix, l the next; a digit follows.
      {u"{pp select [0-9]+[ \t]*}",
       "starts [p] then [p]\n"
       "prefix \"pp select \" probe 7 second 5 then [0-9]\n"
       "required \"pp select \" probe 7 second 5 then [0-9] (prefix)\n"
       "loop 20 to 33 [0-9] slot 0 position decides\n"
       "loop 33 to 48 [\\t ] slot 1 position decides\n"
       "linear \"pp select \" [0-9] [0-9]* [\\t ]*\n"},
      {u"{[ \t]+[0-9]+}",
       "starts [\\t ] then [\\t 0-9]\n"
       "loop 12 to 27 [\\t ] slot 0 position decides\n"
       "loop 30 to 43 [0-9] slot 1 position decides\n"
       "linear [\\t ] [\\t ]* [0-9] [0-9]*\n"},
      // The rarer literal is checked first.
      {u"{a}{b}",
       "starts [a] then [b]\n"
       "prefix \"a\" probe 0 second 0 then [b]\n"
       "required \"b\" probe 0 second 0\n"
       "required \"a\" probe 0 second 0 then [b] (prefix)\n"},
      // The look-ahead may let the match end after the prefix: no unit after.
      {u"{pp enable 5}![0-9]",
       "starts [p] then [p]\n"
       "prefix \"pp enable 5\" probe 6 second 4\n"
       "required \"pp enable 5\" probe 6 second 4 (prefix)\n"
       "linear \"pp enable 5\" not followed by [0-9]\n"},
      {u"^{[^0-9]+[0-9]}",
       "loop 10 to 23 [^0-9] slot 0 position decides\n"
       "linear anchored [^0-9] [^0-9]* [0-9]\n"},
      {u"{a?b}", "starts [ab]\nrequired \"b\" probe 0 second 0\nlinear [a]? \"b\"\n"},
      // Units of 256 or more count as one; a class that takes part of them
      // is inexact.
      {u"{[a\u3000-\u30ff].*x}",
       "starts [a\\u0100-\\uffff]\n"
       "required \"x\" probe 0 second 0\n"
       "loop 12 to 23 any slot 0 position decides\n"},
      {u"{[\u3000-\u30ff]*x}",
       "starts [x\\u0100-\\uffff]\n"
       "required \"x\" probe 0 second 0\n"
       "loop 7 to 20 [\\u0100-\\uffff] inexact slot 0 position decides\n"},
      // A match may be empty: only the loop is known.
      {u"{x*}", "loop 7 to 18 [x] slot 0 position decides\n"},
      {u"", ""},
  };
  for (const HintsDumpCase& c : cases) {
    EXPECT_EQ(HintsOf(c.pattern).Dump(), c.hints) << Narrow(c.pattern);
  }
}

}  // namespace
