// Where a decoded line's characters sit on the page's character grid.
//
// A report is a grid: every character starts on a column, and a table is
// readable only when they all do. Columns are counted as fixed-grid text has
// always counted them: a tab moves on to the next multiple of eight; in a
// Unicode line, East Asian wide and fullwidth characters and emoji take two
// columns, combining marks and zero-width characters none, everything else
// one. A line is composed (NFC) before it is laid out, so "e" followed by a
// combining acute accent is one "é". The page reads left to right, as a line
// printer's does: a stretch of right-to-left letters (with the single blanks
// and other neutral characters between them) reads right to left within the
// columns it occupies, and nothing moves across an ASCII character, a digit,
// a left-to-right letter or a gap of two blanks.
#ifndef QUILLET_REPORT_GRID_LAYOUT_H
#define QUILLET_REPORT_GRID_LAYOUT_H

#include <cstdint>

#include "report/report_reader.h"

namespace quillet {

constexpr int kTabStop = 8;

// The column that a tab at `column` moves the next character to.
constexpr int NextTabStop(int column) { return (column / kTabStop + 1) * kTabStop; }

// The columns one character of a Unicode line takes (not asked for a tab): 2 for
// East Asian Wide and Fullwidth characters and emoji; 0 for combining marks and
// for zero-width and default-ignorable characters; 1 for everything else,
// ambiguous-width and control characters included.
int CharacterColumns(char32_t c);

// Columns of a decoded ANSI line up to its first NUL (one per byte, a tab to the
// next stop), counted to the end of its last character that is not a blank or
// a tab: what must fit across the page.
int InkedColumns(const DecodedLine& line);

// One text call of a laid-out Unicode line.
struct GridRun {
  int first = 0;               // its first unit in GridLine::units
  int units = 0;               // how many units it draws
  std::uint8_t attribute = 0;  // ATTR_UNDERLINE, ATTR_BOLD
  int column = 0;              // the grid column of its leftmost glyph
  // The run holds right-to-left letters, given in their logical order: the
  // platform's text call lays them out right to left from `column` on. Such a
  // run begins and ends with a right-to-left letter, so that laying it out that
  // way reverses it whole.
  bool right_to_left = false;
};

// UTF-16 units of a line's characters at most: two for each of 511.
constexpr int kGridUnits = 2 * kLinePositions;

// A Unicode line laid out on the grid: the text to draw, in UTF-16, and the runs
// that draw it, left to right in the line's logical order. Tabs and characters
// that take no column and are no marks are not drawn.
struct GridLine {
  char16_t units[kGridUnits];
  // Columns the unit advances: a character's columns on its first unit; 0 on
  // the second unit of a surrogate pair and on a mark, which is drawn with the
  // character before it.
  std::uint8_t advance[kGridUnits];
  GridRun runs[kLinePositions];
  int unit_count = 0;
  int run_count = 0;  // 0 when nothing on the line is drawn
  // Columns to the end of the last character that is not a blank: what must fit
  // across the page.
  int inked = 0;
};

// Lays out a decoded Unicode line (DecodeUnicodeLine) up to its first NUL.
void LayOutLine(const UnicodeLine& line, GridLine& out);

}  // namespace quillet

#endif
