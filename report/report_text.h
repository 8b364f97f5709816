// How a report's bytes become characters: the UTF-8 check that tells a line of
// Unicode text from one in the ANSI code page (on the rules of text/utf8.h), and
// UTF-16 turned into UTF-8 before the reader's line rules see it.
#ifndef QUILLET_REPORT_REPORT_TEXT_H
#define QUILLET_REPORT_REPORT_TEXT_H

#include <cstddef>
#include <cstdint>

#include "text/utf8.h"

namespace quillet {

// Feeds `n` bytes to `checker`. False at the first byte that breaks UTF-8.
// Otherwise adds to *continuations the bytes that continue a character (so the
// characters begun are n minus those).
bool CheckUtf8(const char* bytes, std::size_t n, Utf8Checker& checker, int* continuations);

// Characters of UTF-8 text: a character begins at the first byte and at every
// byte that does not continue one (10xxxxxx). For valid UTF-8 those are its
// characters; any other bytes are counted the same way.
int CountCharacters(const char* text, int n);

// UTF-16 code units in little- or big-endian bytes turned into UTF-8. Takes
// whole units from `in` (n bytes) while `out` has room for a character (`room`
// bytes). A surrogate pair is one character; a lone surrogate becomes U+FFFD. A
// high surrogate without its partner yet, or an odd last byte, is left for the
// next call unless `at_end`, when it becomes U+FFFD. Returns the bytes written;
// *used is the bytes of `in` taken.
std::size_t Utf8FromUtf16Bytes(const unsigned char* in, std::size_t n, bool big_endian, bool at_end,
                               unsigned char* out, std::size_t room, std::size_t* used);

}  // namespace quillet

#endif
