// What the text layout knows of a character: the columns it takes on the grid,
// and whether it is drawn, needs the system's shaping engine or calls for the
// bidirectional algorithm.
#ifndef QUILLET_TEXT_CHARACTERS_H
#define QUILLET_TEXT_CHARACTERS_H

#include <cstdint>

namespace quillet {

constexpr int kTabStop = 8;
constexpr char32_t kTab = 0x09;

// The column that a tab at `column` moves the next character to.
constexpr int NextTabStop(int column) { return (column / kTabStop + 1) * kTabStop; }

// The columns one character takes (not asked for a tab), as terminals and C
// programs count them (the C library's wcwidth): 2 for East Asian Wide and
// Fullwidth characters and emoji; 1 for a spacing mark (a vowel sign such as
// Devanagari "ा"); 0 for nonspacing and enclosing marks, format characters,
// Hangul vowel and final jamo and the other default-ignorable characters; 1 for
// everything else: ambiguous-width characters, the soft hyphen (which a printer
// prints as a hyphen) and control characters, which keep the column they always
// had.
int CharacterColumns(char32_t c);

enum CharacterTrait : std::uint8_t {
  // Something to draw: neither a tab nor a default-ignorable character. The
  // zero-width joiner and non-joiner, which the shaping engine reads, and the
  // soft hyphen are drawn.
  kDrawn = 1,
  // Drawn right only by the shaping engine: a mark, a right-to-left letter, a
  // letter of a script whose letters join, stack or reorder (Arabic, Hebrew,
  // Thai, the Indic scripts, Myanmar, Khmer, ...), a character beyond U+FFFF,
  // the joiners, and a drawn character that takes no column.
  kNeedsEngine = 2,
  // Calls for the bidirectional algorithm: a right-to-left letter, a
  // right-to-left embedding, override or isolate, or a direction mark (U+200E,
  // U+200F, U+061C).
  kCallsForBidi = 4,
};

// The traits (CharacterTrait bits) of a character.
std::uint8_t CharacterTraits(char32_t c);

// Characters that need none of the layout's steps: of the Basic Multilingual
// Plane, one column each, drawn as one glyph by the usual text call, part of no
// grapheme cluster with their neighbours, and never reordered. Most lines are
// made of them alone.
class SimpleCharacters {
 public:
  static bool Has(char32_t c) {
    return c < 0x10000 && ((Bits()[c >> 6] >> (c & 63)) & 1) != 0;
  }

 private:
  static const std::uint64_t* Bits();
};

}  // namespace quillet

#endif
