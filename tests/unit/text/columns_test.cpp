// The columns of every character of the first three planes against the C
// library's wcwidth, which terminals and the padding of C programs follow.
#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <string>

#include "text/characters.h"

namespace quillet {
namespace {

// Where the layout counts otherwise, and why.
bool CountedOtherwise(char32_t c, int theirs, int ours) {
  // Control characters keep the column they have always had (wcwidth: none or -1).
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return ours == 1;
  // Hangul fillers are default-ignorable: they print nothing, so they take no column.
  if (c == 0x115F || c == 0x3164 || c == 0xFFA0) return ours == 0;
  // Ambiguous-width circled numbers, which the C library alone counts wide.
  if (c >= 0x3248 && c <= 0x324F) return theirs == 2 && ours == 1;
  // Unicode 16 made these wide (trigrams and tetragrams, counting rods) and an Ahom
  // sign a spacing mark; the host's C library has the Unicode 15 tables.
  const bool wide_since = (c >= 0x2630 && c <= 0x2637) || (c >= 0x268A && c <= 0x268F) ||
                          (c >= 0x1D300 && c <= 0x1D356) || (c >= 0x1D360 && c <= 0x1D376);
  if (wide_since) return theirs == 1 && ours == 2;
  if (c == 0x1171E) return theirs == 0 && ours == 1;
  return false;
}

TEST(CharacterColumns, AsTheCLibraryCountsThem) {
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  int compared = 0;
  std::string differ;
  for (char32_t c = 1; c < 0x30000; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    const int theirs = wcwidth(static_cast<wchar_t>(c));
    const int ours = CharacterColumns(c);
    // Characters the C library does not know (unassigned in its Unicode) are
    // left out, but the controls among them.
    if (theirs < 0 && !(c < 0x20 || (c >= 0x7F && c < 0xA0))) continue;
    ++compared;
    if (ours != theirs && !CountedOtherwise(c, theirs, ours) && differ.size() < 400) {
      char line[48];
      std::snprintf(line, sizeof line, "U+%04X: %d, wcwidth %d\n", static_cast<unsigned>(c), ours, theirs);
      differ += line;
    }
  }
  std::setlocale(LC_CTYPE, "C");
  EXPECT_GT(compared, 100000);
  EXPECT_EQ(differ, "");
}

}  // namespace
}  // namespace quillet
