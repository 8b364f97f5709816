// Lines of text through the layout (clusters, fields, the bidirectional order)
// as the driver lays out a Unicode line: every cluster lands on cells inside its
// field, no two cells overlap, and every unit is drawn at most once.
//
// Input: 2 header bytes, then the line's UTF-8 (any bytes).
//   [0] bit 0: no attribute set (the attributes are otherwise [1]'s bit pairs,
//       in turn, character by character)
//   [1] the attributes
#include <utf8proc.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

#include "fuzz_support.h"
#include "text/characters.h"
#include "text/line_layout.h"
#include "text/utf8.h"

namespace quillet {
namespace {

constexpr std::size_t kHeader = 2;

struct Span {
  long first;
  long end;  // past its last column
};

// The fields of the line's first 511 characters (up to a NUL), composed: their
// columns, from the first to the last character that is not a blank, between
// tabs and gaps of two blanks or more.
std::vector<Span> Fields(const unsigned char* text, std::size_t size) {
  std::vector<char32_t> chars;
  const unsigned char* p = text;
  const unsigned char* const stop = text + size;
  while (p < stop && *p != 0 && chars.size() < kLineCharacters) chars.push_back(DecodeCharacter(p, stop));
  std::vector<unsigned char> bytes;
  for (char32_t c : chars) {
    unsigned char b[4];
    bytes.insert(bytes.end(), b, b + EncodeUtf8(c, b));
  }
  bytes.push_back(0);
  std::vector<Span> fields;
  utf8proc_uint8_t* composed = utf8proc_NFC(bytes.data());
  FUZZ_REQUIRE(composed != nullptr);
  long column = 0;
  Span field{-1, -1};
  int blanks = 0;
  const auto close = [&] {
    if (field.first >= 0) fields.push_back(field);
    field = Span{-1, -1};
  };
  const unsigned char* q = composed;
  const unsigned char* const end = q + std::strlen(reinterpret_cast<const char*>(composed));
  char32_t before = 0;  // the character before, 0 at the start
  while (q < end) {
    const char32_t c = DecodeCharacter(q, end);
    // A blank that carries a mark, or that a prepended sign (U+0600...) takes
    // into its cluster, is no blank: something prints on it.
    const unsigned char* after = q;
    const bool bare = (before == 0 || utf8proc_grapheme_break(static_cast<utf8proc_int32_t>(before),
                                                             static_cast<utf8proc_int32_t>(c))) &&
                      (q == end || utf8proc_grapheme_break(static_cast<utf8proc_int32_t>(c),
                                                           static_cast<utf8proc_int32_t>(DecodeCharacter(after, end))));
    before = c;
    if (c == U'\t') {
      close();
      column = NextTabStop(static_cast<int>(column));
      continue;
    }
    const int width = CharacterColumns(c);
    if (c == U' ' && bare) {
      if (++blanks == 2) close();
    } else {
      blanks = 0;
      if (field.first < 0) field.first = column;
      field.end = column + width;
    }
    column += width;
  }
  close();
  std::free(composed);
  return fields;
}

}  // namespace
}  // namespace quillet

using namespace quillet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  const unsigned char* text = data + kHeader;
  const std::size_t bytes = std::min<std::size_t>(size - kHeader, 4 * kLineCharacters);
  std::uint8_t attrs[kLineCharacters + 1];
  for (int k = 0; k <= kLineCharacters; ++k) attrs[k] = (data[0] & 1) ? 0 : (data[1] >> (2 * (k % 4))) & 3;
  std::vector<char> line(text, text + bytes);
  static GridLine* const grid = new GridLine;
  LayOutLine(TextLine{line.data(), static_cast<int>(bytes), attrs, (data[0] & 1) != 0}, *grid);

  const std::vector<Span> fields = Fields(text, bytes);
  const auto inside_a_field = [&](long first, long end) {
    for (const Span& f : fields) {
      // (A cluster that takes no column has no cells: it may stand at either edge.)
      if (first >= f.first && end <= f.end) return true;
    }
    return false;
  };
  // Runs follow each other through the units, each unit drawn by one run.
  int units = 0;
  int clusters = 0;
  std::vector<Span> cells;
  for (int r = 0; r < grid->run_count; ++r) {
    const GridRun& run = grid->runs[r];
    FUZZ_REQUIRE(run.first == units && run.units >= 1 && run.column >= 0);
    units += run.units;
    if (!run.shaped) {
      long column = run.column;
      for (int k = run.first; k < run.first + run.units; ++k) {
        const long end = column + grid->advance[k];
        // Blanks may be drawn between fields (underlined, or inside a run).
        if (grid->units[k] != u' ' && end > column) FUZZ_REQUIRE(inside_a_field(column, end));
        if (end > column) cells.push_back(Span{column, end});
        column = end;
      }
      continue;
    }
    // A shaped word: clusters in logical order, each from a later unit, all of
    // them inside one field.
    FUZZ_REQUIRE(run.first_cluster == clusters && run.cluster_count >= 1 && run.cluster_count <= run.units);
    clusters += run.cluster_count;
    for (int k = 0; k < run.cluster_count; ++k) {
      const ClusterPlace& place = grid->clusters[run.first_cluster + k];
      FUZZ_REQUIRE(k == 0 ? place.unit == 0 : place.unit > grid->clusters[run.first_cluster + k - 1].unit);
      FUZZ_REQUIRE(place.unit < run.units && place.columns >= 0 && place.column >= run.column);
      FUZZ_REQUIRE(inside_a_field(place.column, place.column + place.columns));
      if (place.columns > 0) cells.push_back(Span{place.column, place.column + place.columns});
    }
  }
  FUZZ_REQUIRE(units == grid->unit_count && clusters == grid->cluster_count);
  std::sort(cells.begin(), cells.end(), [](const Span& a, const Span& b) { return a.first < b.first; });
  for (std::size_t k = 1; k < cells.size(); ++k) FUZZ_REQUIRE(cells[k].first >= cells[k - 1].end);
  return 0;
}
