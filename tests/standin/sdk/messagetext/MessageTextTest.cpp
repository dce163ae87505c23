// Text from outside made safe for a one-line message.
#include <standin/MessageText.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MessageText, EscapesControlsHiddenCharactersAndInvalidUtf8AndKeepsTheRest) {
  struct Case {
    const char* what;
    std::string text;
    std::string printable;
    std::string quoted;
  };
  const Case cases[] = {
      {"plain", "Bounce1", "Bounce1", "\"Bounce1\""},
      {"quotes and backslashes", "a\"b\\c", "a\"b\\c", "\"a\\\"b\\\\c\""},
      {"line ends and tabs", "a\nb\rc\td", "a\\nb\\rc\\td", "\"a\\nb\\rc\\td\""},
      {"other C0 controls and DEL", std::string("\x1b[2J\x7f\0", 6), "\\x1B[2J\\x7F\\x00", "\"\\x1B[2J\\x7F\\x00\""},
      {"C1 control, the one-byte CSI", "\xc2\x9b" "31m", "\\xC2\\x9B31m", "\"\\xC2\\x9B31m\""},
      {"valid two, three and four bytes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x92\xa1", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x92\xa1",
       "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x92\xa1\""},
      {"a stray continuation byte", "a\x80z", "a\\x80z", "\"a\\x80z\""},
      {"an overlong '/'", "\xc0\xaf", "\\xC0\\xAF", "\"\\xC0\\xAF\""},
      {"a surrogate", "\xed\xa0\x80", "\\xED\\xA0\\x80", "\"\\xED\\xA0\\x80\""},
      {"past U+10FFFF", "\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80", "\"\\xF4\\x90\\x80\\x80\""},
      {"a sequence cut short at the end", "ab\xe2\x82", "ab\\xE2\\x82", "\"ab\\xE2\\x82\""},
      {"a byte order mark", "\xef\xbb\xbf" "a", "\\xEF\\xBB\\xBF" "a", "\"\\xEF\\xBB\\xBF" "a\""},
      {"a right-to-left override and a left-to-right isolate", "\xe2\x80\xae" "ab\xe2\x81\xa6",
       "\\xE2\\x80\\xAE" "ab\\xE2\\x81\\xA6", "\"\\xE2\\x80\\xAE" "ab\\xE2\\x81\\xA6\""},
      {"line and paragraph separators", "a\xe2\x80\xa8" "b\xe2\x80\xa9", "a\\xE2\\x80\\xA8" "b\\xE2\\x80\\xA9",
       "\"a\\xE2\\x80\\xA8" "b\\xE2\\x80\\xA9\""},
      {"a soft hyphen, the first format character", "\xc2\xad", "\\xC2\\xAD", "\"\\xC2\\xAD\""},
      {"a zero-width joiner", "\xe2\x80\x8d", "\\xE2\\x80\\x8D", "\"\\xE2\\x80\\x8D\""},
      {"a tag character, the last run", "\xf3\xa0\x81\xbf", "\\xF3\\xA0\\x81\\xBF", "\"\\xF3\\xA0\\x81\\xBF\""},
      {"their neighbours are kept", "\xc2\xa0\xe2\x80\xaf\xe2\x80\xa7\xef\xbb\xbe\xf3\xa0\x82\x80",
       "\xc2\xa0\xe2\x80\xaf\xe2\x80\xa7\xef\xbb\xbe\xf3\xa0\x82\x80",
       "\"\xc2\xa0\xe2\x80\xaf\xe2\x80\xa7\xef\xbb\xbe\xf3\xa0\x82\x80\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(standin::printable(c.text), c.printable);
    EXPECT_EQ(standin::quoted(c.text), c.quoted);
  }
}

// Cut on a character's boundary, never inside a sequence.
TEST(MessageText, QuotesTextCutShortAtACharacter) {
  EXPECT_EQ(standin::quoted("abcdef", 4), "\"abcd...\"");
  EXPECT_EQ(standin::quoted("abc\xc3\xa9z", 4), "\"abc...\"");
  EXPECT_EQ(standin::quoted("abcd", 4), "\"abcd\"");
}

}  // namespace
