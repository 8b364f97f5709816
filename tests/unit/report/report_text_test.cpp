#include "report/report_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <string>

namespace quillet {
namespace {

// CheckUtf8 and CountCharacters take most text 16 bytes at a time: on random
// mixes of ASCII, two-, three- and four-byte characters and bytes that break
// UTF-8, at every length and offset, they say what the rules say byte by byte.
TEST(CheckUtf8, AgreesWithTheRulesByteByByte) {
  std::srand(4711);
  // The edges of the first bytes whose second byte has a narrower range among them.
  const std::string valid[] = {"a", " ", "\n", "é", "Ж", "ω", "€", "😀", std::string(17, 'x'),
                               "\xE0\xA0\x80", "\xED\x9F\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"};
  const std::string broken[] = {"\x80", "\xC3", "\xE2\x82", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF",
                                "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xC1\xBF", "\xF5\x80\x80\x80"};
  for (int round = 0; round < 5000; ++round) {
    // Mostly valid text, now and then a piece that breaks it.
    std::string text;
    for (int k = std::rand() % 40; k > 0; --k) {
      text += std::rand() % 100 < 95 ? valid[std::rand() % std::size(valid)] : broken[std::rand() % std::size(broken)];
    }
    SCOPED_TRACE(testing::PrintToString(text));
    Utf8Checker rules;
    bool accepted = true;
    int continuations = 0, starts = text.empty() ? 0 : 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      if (i > 0) starts += (byte & 0xC0) != 0x80;
      if (!accepted) continue;
      const bool continuation = rules.InSequence();
      accepted = rules.Take(byte);
      continuations += continuation;
    }
    Utf8Checker checker;
    int counted = 0;
    ASSERT_EQ(CheckUtf8(text.data(), text.size(), checker, &counted), accepted);
    if (accepted) {
      EXPECT_EQ(checker.InSequence(), rules.InSequence());
      EXPECT_EQ(counted, continuations);
    }
    EXPECT_EQ(CountCharacters(text.data(), static_cast<int>(text.size())), starts);
  }
}

}  // namespace
}  // namespace quillet
