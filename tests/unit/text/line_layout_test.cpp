#include "text/line_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "report/report_reader.h"
#include "report/report_text.h"
#include "text/characters.h"

namespace quillet {
namespace {

using namespace std::string_literals;

TEST(CharacterColumns, AsTerminalsCountThem) {
  struct Case {
    char32_t c;
    int columns;
  } cases[] = {
      {U'a', 1},        {U'\x1b', 1},      // ASCII, a control character
      {U'é', 1},        {U'\u00AD', 1},    // Latin-1; a soft hyphen prints as a hyphen
      {U'€', 1},        {U'α', 1},         // ambiguous width: one column
      {U'漢', 2},       {U'Ａ', 2},        // a CJK ideograph, a fullwidth letter
      {U'가', 2},       {U'ｱ', 1},         // Hangul; halfwidth katakana
      {U'\u3000', 2},                      // the ideographic space
      {U'😀', 2},       {U'\U00020000', 2},  // an emoji and an ideograph beyond U+FFFF
      {U'\U0001D400', 1},                  // beyond U+FFFF, narrow
      {U'\u0301', 0},   {U'\u200B', 0},    // a combining mark, a zero-width space
      {U'\uFE0F', 0},   {U'\u200D', 0},    // a variation selector, the zero-width joiner
      {U'\u202E', 0},   {U'א', 1},         // a direction override; a Hebrew letter
      {U'\u093E', 1},   {U'\u0BBE', 1},    // spacing vowel signs (Devanagari, Tamil)
      {U'\u1161', 0},   {U'\u200F', 0},    // a Hangul vowel jamo; a direction mark
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

// Text runs as "column L attribute text [advances]"; shaped words as "column S
// attribute" (R when they read right to left) and each cluster, in logical
// order, as "text@column", "+columns" when it takes other than one.
std::vector<std::string> RunsOf(const GridLine& grid) {
  std::vector<std::string> out;
  for (int r = 0; r < grid.run_count; ++r) {
    const GridRun& run = grid.runs[r];
    std::string line = std::to_string(run.column) + (run.shaped ? run.right_to_left ? " R " : " S " : " L ") +
                       std::to_string(run.attribute);
    if (!run.shaped) {
      std::string advances;
      for (int k = 0; k < run.units; ++k) advances += (k ? "," : "") + std::to_string(grid.advance[run.first + k]);
      out.push_back(line + " " + Utf8FromUtf16(std::u16string_view(grid.units + run.first, run.units)) + " [" +
                    advances + "]");
      continue;
    }
    for (int k = 0; k < run.cluster_count; ++k) {
      const ClusterPlace& place = grid.clusters[run.first_cluster + k];
      const int end = k + 1 < run.cluster_count ? grid.clusters[run.first_cluster + k + 1].unit : run.units;
      line += " " + Utf8FromUtf16(std::u16string_view(grid.units + run.first + place.unit, end - place.unit)) + "@" +
              std::to_string(place.column) + (place.columns != 1 ? "+" + std::to_string(place.columns) : "");
    }
    out.push_back(line);
  }
  return out;
}

TEST(LayOutLine, PutsEveryClusterOnItsCellsInReadingOrder) {
  struct Case {
    const char* name;
    std::string input;  // a line as GetLine returns it
    std::vector<std::string> runs;
    int inked;
  } cases[] = {
      // Lines that need no shaping: runs of one attribute, broken at tabs.
      {"characters of a column each", u8"Grüße\b_ – € \x1b  ",
       {u8"0 L 0 Grüß [1,1,1,1]", u8"4 L 1 e [1]", u8"5 L 0  – € \x1b   [1,1,1,1,1,1,1,1]"}, 11},
      {"wide characters take two columns", u8"王小明 12\0"s, {u8"0 L 0 王小明 12 [2,2,2,1,1,1]"}, 9},
      {"a mark that composes", u8"Jose\u0301 |", {u8"0 L 0 José | [1,1,1,1,1,1]"}, 6},
      {"Hangul jamo composed", u8"\u1100\u1161|", {u8"0 L 0 가| [2,1]"}, 3},
      {"zero-width characters are not drawn", u8"a\u200Bb\u2764\uFE0F", {u8"0 L 0 ab\u2764 [1,1,1]"}, 3},
      {"tabs", u8"é\tx\t\t€", {u8"0 L 0 é [1]", u8"8 L 0 x [1]", u8"24 L 0 € [1]"}, 25},
      {"a tab after wide characters", u8"漢字漢字\tx", {u8"0 L 0 漢字漢字 [2,2,2,2]", u8"16 L 0 x [1]"}, 17},
      {"overstrikes on wide characters", u8"漢\b漢字\b_", {u8"0 L 2 漢 [2]", u8"2 L 1 字 [2]"}, 4},
      {"nothing to draw", u8"\u200B\u200B", {}, 0},
      // Clusters for the shaping engine, on the cells of their characters.
      {"beyond U+FFFF: one cluster on two cells", u8"😀x 𠀋 ok",
       {u8"0 S 0 😀@0+2 x@2", u8"4 S 0 𠀋@4+2", u8"6 L 0  ok [1,1,1]"}, 9},
      {"a mark that composes with nothing stays on its letter", u8"q\u0301x", {u8"0 S 0 q\u0301@0 x@1"}, 2},
      {"marks in canonical order", u8"a\u0301\u0323", {u8"0 S 0 ạ\u0301@0"}, 1},
      {"several marks on one letter", u8"O\u0323lo\u0323\u0301run į\u0303",
       {u8"0 S 0 Ọ@0 l@1 ọ\u0301@2 r@3 u@4 n@5", u8"7 S 0 į\u0303@7"}, 8},
      {"a spacing vowel sign takes its column", u8"का|", {u8"0 S 0 का@0+2 |@2"}, 3},
      {"a mark first on the line", u8"\u0301ab", {u8"0 S 0 \u0301@0+0 a@0 b@1"}, 2},
      // Right-to-left fields, read as their writers wrote them.
      {"a hyphenated surname", u8"כהן-לוי", {u8"0 R 0 כ@6 ה@5 ן@4 -@3 ל@2 ו@1 י@0"}, 7},
      {"quotes inside a word", u8"בע\"מ", {u8"0 R 0 ב@3 ע@2 \"@1 מ@0"}, 4},
      {"brackets mirrored", u8"(קבב)", {u8"0 R 0 )@4 ק@3 ב@2 ב@1 (@0"}, 5},
      {"a number inside reads left to right", u8"מחיר 100 שקלים",
       {u8"0 R 0 ש@4 ק@3 ל@2 י@1 ם@0", u8"5 L 0  100  [1,1,1,1,1]", u8"10 R 0 מ@13 ח@12 י@11 ר@10"}, 14},
      {"Arabic names and an ASCII comma", u8"علي, حسن",
       {u8"0 R 0 ح@2 س@1 ن@0", u8"4 R 0 ع@7 ل@6 ي@5 ,@4"}, 8},
      {"Arabic-Indic digits", u8"سعر ١٢٣", {u8"0 S 0 ١@0 ٢@1 ٣@2", u8"4 R 0 س@6 ع@5 ر@4"}, 7},
      {"an English field holding a Hebrew word", u8"Paid to כהן today",
       {u8"0 L 0 Paid to  [1,1,1,1,1,1,1,1]", u8"8 R 0 כ@10 ה@9 ן@8", u8"11 L 0  today [1,1,1,1,1,1]"}, 17},
      {"two fields two blanks apart keep their columns", u8"אב  גד\t12",
       {u8"0 R 0 א@1 ב@0", u8"4 R 0 ג@5 ד@4", u8"8 L 0 12 [1,1]"}, 10},
      {"a direction mark takes part and prints nothing", u8"\u200F!abc", {u8"0 L 0 abc! [1,1,1,1]"}, 4},
      {"attributes part words", u8"אב ג\bגד", {u8"0 R 0 ד@0", u8"1 R 2 ג@1", u8"3 R 0 א@4 ב@3"}, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UnicodeLine line;
    DecodeUnicodeLine(c.input.data(), static_cast<int>(c.input.size()),
                      CountCharacters(c.input.data(), static_cast<int>(c.input.size())), line);
    GridLine grid;
    LayOutLine(TextLine{line.text, line.bytes, line.attrs, line.plain}, grid);
    EXPECT_EQ(RunsOf(grid), c.runs);
    EXPECT_EQ(grid.inked, c.inked);
  }
}

}  // namespace
}  // namespace quillet
