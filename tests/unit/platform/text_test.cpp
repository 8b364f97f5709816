#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

using namespace std::string_literals;

TEST(ModifiedUtf8, DecodesWhatJavaSends) {
  struct Row {
    std::string bytes;
    std::u16string text;
  } rows[] = {
      {"C:\\Temp\\a.txt", u"C:\\Temp\\a.txt"},
      {"Zo\xC3\xAB", u"Zo\u00EB"},                              // two bytes
      {"\xE2\x82\xAC 5", u"\u20AC 5"},                          // three bytes
      {"\xC0\x80", u"\0"s},                                     // Java's NUL
      {"\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600"},              // a surrogate pair, three bytes each
      {"\xF0\x9F\x98\x80", u"\U0001F600"},                      // standard four-byte form taken too
      // Broken input decodes, one replacement per byte that starts nothing.
      {"a\x80z", u"a\uFFFDz"},
      {"\xC3", u"\uFFFD"},
      {"\xE2\x82", u"\uFFFD\uFFFD"},
      {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const Row& row : rows) EXPECT_EQ(Utf16FromModifiedUtf8(row.bytes), row.text) << row.bytes;
}

TEST(ModifiedUtf8, EncodesWhatJavaTakes) {
  EXPECT_EQ(ModifiedUtf8FromUtf16(u"B\u00FCro \u20AC"), "B\xC3\xBCro \xE2\x82\xAC");
  EXPECT_EQ(ModifiedUtf8FromUtf16(u"a\0b"s), "a\xC0\x80" "b");
  EXPECT_EQ(ModifiedUtf8FromUtf16(u"\U0001F600"), "\xED\xA0\xBD\xED\xB8\x80");
  // Every code unit goes there and back unchanged, lone surrogates included.
  std::u16string all;
  for (char32_t unit = 0; unit <= 0xFFFF; ++unit) all += static_cast<char16_t>(unit);
  const std::string bytes = ModifiedUtf8FromUtf16(all);
  EXPECT_EQ(bytes.find('\0'), std::string::npos);
  EXPECT_EQ(Utf16FromModifiedUtf8(bytes), all);
}

TEST(Utf8, PairsBecomeOneCharacterAndLoneSurrogatesAReplacement) {
  EXPECT_EQ(Utf8FromUtf16(u"\u00EB\U0001F600"), "\xC3\xAB\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8FromUtf16(u"a\xD800z"), "a\xEF\xBF\xBDz");
  // Which texts no code page spells exactly.
  EXPECT_FALSE(HasLoneSurrogate(u"\u00EB\U0001F600"));
  for (std::u16string lone : {u"a\xD800z"s, u"\xDC00"s, u"x\xD83D"s, u"\xDE00\xD83D"s})
    EXPECT_TRUE(HasLoneSurrogate(lone));
}

}  // namespace
}  // namespace quillet
