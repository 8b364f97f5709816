// The order of right-to-left text: the Unicode Bidirectional Algorithm (with
// paired brackets), from SheenBidi.
#ifndef QUILLET_TEXT_BIDI_H
#define QUILLET_TEXT_BIDI_H

#include <cstdint>

namespace quillet {

// The embedding levels of `count` characters read as one paragraph whose
// direction is that of its first strong letter (left to right when it has none),
// as a line shows them: blanks at its end at the paragraph's level. (A paragraph
// separator inside starts a new paragraph, which finds its own direction.) Odd
// levels read right to left. False when the algorithm could not run (no
// memory): the caller then keeps the characters in their logical order.
bool ResolveLevels(const char32_t* chars, int count, std::uint8_t* levels);

// The character that shows `c` mirrored in right-to-left text ("(" for ")"), or
// `c` itself when it has none.
char32_t MirroredCharacter(char32_t c);

}  // namespace quillet

#endif
