#include "report/grid_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "report/report_text.h"

namespace quillet {
namespace {

using namespace std::string_literals;

TEST(CharacterColumns, ByUnicodeWidth) {
  struct Case {
    char32_t c;
    int columns;
  } cases[] = {
      {U'a', 1},        {U'\x1b', 1},      // ASCII, a control character
      {U'é', 1},        {U'\u00AD', 0},    // Latin-1; a soft hyphen is default-ignorable
      {U'€', 1},        {U'α', 1},         // ambiguous width: one column
      {U'漢', 2},       {U'Ａ', 2},        // a CJK ideograph, a fullwidth letter
      {U'가', 2},       {U'ｱ', 1},         // Hangul; halfwidth katakana
      {U'\u3000', 2},                      // the ideographic space
      {U'😀', 2},       {U'\U00020000', 2},  // an emoji and an ideograph beyond U+FFFF
      {U'\U0001D400', 1},                  // beyond U+FFFF, narrow
      {U'\u0301', 0},   {U'\u200B', 0},    // a combining mark, a zero-width space
      {U'\uFE0F', 0},   {U'\u200D', 0},    // a variation selector, the zero-width joiner
      {U'\u202E', 0},   {U'א', 1},         // a direction override; a Hebrew letter
  };
  for (const Case& c : cases) EXPECT_EQ(CharacterColumns(c.c), c.columns) << std::hex << static_cast<int>(c.c);
}

TEST(InkedColumns, CountsTabStopsAndLeavesTrailingBlanksOut) {
  struct Case {
    std::string line;
    int inked;
  } cases[] = {{"abc   ", 3}, {"a\tb", 9}, {"1234567\tx", 9}, {"12345678\tx", 17}, {"x\t\t", 1},
               {"ab\0cdef"s, 2}, {"\t\t\tx ", 25}};
  for (const Case& c : cases) {
    DecodedLine line;
    DecodeLine(c.line.data(), static_cast<int>(c.line.size()), line);
    EXPECT_EQ(InkedColumns(line), c.inked) << c.line;
  }
}

// Each run as "column R|L attribute text [advances]".
std::vector<std::string> RunsOf(const GridLine& grid) {
  std::vector<std::string> out;
  for (int r = 0; r < grid.run_count; ++r) {
    const GridRun& run = grid.runs[r];
    std::string advances;
    for (int k = 0; k < run.units; ++k) advances += (k ? "," : "") + std::to_string(grid.advance[run.first + k]);
    out.push_back(std::to_string(run.column) + (run.right_to_left ? " R " : " L ") +
                  std::to_string(run.attribute) + " " +
                  Utf8FromUtf16(std::u16string_view(grid.units + run.first, run.units)) + " [" + advances + "]");
  }
  return out;
}

TEST(LayOutLine, PutsEveryCharacterOnItsColumns) {
  struct Case {
    const char* name;
    std::string input;  // a line as GetLine returns it
    std::vector<std::string> runs;
    int inked;
  } cases[] = {
      {"characters of a column each", u8"Grüße\b_ – € \x1b  ",
       {u8"0 L 0 Grüß [1,1,1,1]", u8"4 L 1 e [1]", u8"5 L 0  – € \x1b   [1,1,1,1,1,1,1,1]"}, 11},
      {"wide characters take two columns", u8"王小明 12\0"s, {u8"0 L 0 王小明 12 [2,2,2,1,1,1]"}, 9},
      {"beyond U+FFFF: the pair's second unit advances nothing", u8"😀x", {u8"0 L 0 😀x [2,0,1]"}, 3},
      {"a mark that composes", u8"Jose\u0301 |", {u8"0 L 0 José | [1,1,1,1,1,1]"}, 6},
      {"one that does not, drawn with its base", u8"q\u0301x", {u8"0 L 0 q\u0301x [1,0,1]"}, 2},
      {"marks in canonical order", u8"a\u0301\u0323", {u8"0 L 0 ạ\u0301 [1,0]"}, 1},
      {"Hangul jamo composed", u8"\u1100\u1161|", {u8"0 L 0 가| [2,1]"}, 3},
      {"zero-width characters are not drawn", u8"a\u200Bb\u2764\uFE0F", {u8"0 L 0 ab\u2764 [1,1,1]"}, 3},
      {"a mark first on the line", u8"\u0301ab", {u8"0 L 0 \u0301ab [0,1,1]"}, 2},
      {"tabs", u8"é\tx\t\t€", {u8"0 L 0 é [1]", u8"8 L 0 x [1]", u8"24 L 0 € [1]"}, 25},
      {"a tab after wide characters", u8"漢字漢字\tx", {u8"0 L 0 漢字漢字 [2,2,2,2]", u8"16 L 0 x [1]"}, 17},
      {"overstrikes on wide characters", u8"漢\b漢字\b_", {u8"0 L 2 漢 [2]", u8"2 L 1 字 [2]"}, 4},
      {"a right-to-left field keeps its columns", u8"ab שלום עולם 12",
       {u8"0 L 0 ab  [1,1,1]", u8"3 R 0 שלום עולם [1,1,1,1,1,1,1,1,1]", u8"12 L 0  12 [1,1,1]"}, 15},
      {"two blanks part two fields", u8"אב  גד",
       {u8"0 R 0 אב [1,1]", u8"2 L 0    [1,1]", u8"4 R 0 גד [1,1]"}, 6},
      {"a neutral sign inside a stretch, an ASCII one ends it", u8"אב–גד.",
       {u8"0 R 0 אב–גד [1,1,1,1,1]", u8"5 L 0 . [1]"}, 6},
      {"bold letters inside a stretch read with the rest", u8"אב ג\bגד",
       {u8"3 R 0 אב [1,1]", u8"1 R 2 ג [1]", u8"0 R 0 ד [1]"}, 5},
      {"nothing to draw", u8"\u200B\u200B", {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UnicodeLine line;
    DecodeUnicodeLine(c.input.data(), static_cast<int>(c.input.size()),
                      CountCharacters(c.input.data(), static_cast<int>(c.input.size())), line);
    GridLine grid;
    LayOutLine(line, grid);
    EXPECT_EQ(RunsOf(grid), c.runs);
    EXPECT_EQ(grid.inked, c.inked);
  }
}

}  // namespace
}  // namespace quillet
