// Where a line's characters sit on the page's character grid, and in which order.
//
// A report is a grid: every character starts on a column, and a table is
// readable only when they all do. A line is read as grapheme clusters (a letter
// with its marks, an emoji sequence), each composed (NFC) and taking the columns
// of its characters (characters.h); a tab moves on to the next multiple of
// eight. The line's fields are what lies between tabs and gaps of two or more
// blanks, and nothing moves from one field's columns into another's. A field
// that holds right-to-left letters (or a direction mark) is ordered by the
// Unicode Bidirectional Algorithm as one paragraph whose direction is that of
// its first strong letter: whole clusters move, never a mark away from its
// letter, and brackets read right to left show mirrored.
#ifndef QUILLET_TEXT_LINE_LAYOUT_H
#define QUILLET_TEXT_LINE_LAYOUT_H

#include <cstdint>

namespace quillet {

constexpr int kLineCharacters = 511;             // characters of a line at most
constexpr int kGridUnits = 2 * kLineCharacters;  // their UTF-16 units at most
constexpr std::uint8_t kUnderlined = 1;          // the attribute bit of underlined characters

// A line to lay out: its characters in UTF-8, up to `bytes` or its first NUL
// (at most kLineCharacters of them), and one attribute byte for each.
struct TextLine {
  const char* text = nullptr;
  int bytes = 0;
  const std::uint8_t* attrs = nullptr;
  bool plain = false;  // no attribute set
};

// One text call of a laid-out line.
struct GridRun {
  int first = 0;               // its first unit in GridLine::units
  int units = 0;               // how many units it draws
  std::uint8_t attribute = 0;  // as the line gives it
  int column = 0;              // the grid column of its leftmost cell
  // A word that the shaping engine draws (one attribute, one direction, no
  // blank): its units in their logical order, and its clusters, also in logical
  // order, at GridLine::clusters[first_cluster ... + cluster_count - 1]. Any
  // other run is text drawn left to right, each unit advancing by its entry of
  // GridLine::advance; it holds nothing that needs the engine.
  bool shaped = false;
  bool right_to_left = false;  // a shaped word that reads right to left
  int first_cluster = 0;
  int cluster_count = 0;
};

// A grapheme cluster of a shaped word and the cells it is drawn on.
struct ClusterPlace {
  int unit;     // its first unit, counted from its run's first
  int column;   // the grid column of its leftmost cell
  int columns;  // the cells it takes (0 for one that takes no column)
};

// A line laid out on the grid: the text calls that draw it, left to right as
// they are shown. Tabs, blanks between fields that are not underlined and
// characters that print nothing (zero-width, direction marks) are not drawn.
struct GridLine {
  char16_t units[kGridUnits];
  // Columns the unit advances in a run that is not shaped: a character's columns
  // on its first unit.
  std::uint8_t advance[kGridUnits];
  ClusterPlace clusters[kLineCharacters];
  GridRun runs[kLineCharacters];
  int unit_count = 0;
  int run_count = 0;  // 0 when nothing on the line is drawn
  int cluster_count = 0;
  // Columns to the end of the last character that is not a blank: what must fit
  // across the page.
  int inked = 0;
};

// Lays out a line. A line that needs no shaping (every cluster one character
// that the usual text call draws as one glyph, nothing read right to left)
// comes out as runs of one attribute each, broken at tabs only.
void LayOutLine(const TextLine& line, GridLine& out);

}  // namespace quillet

#endif
