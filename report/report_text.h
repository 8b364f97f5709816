// How a report's bytes become characters: the UTF-8 check that tells a line of
// Unicode text from one in the ANSI code page, UTF-8 decoding, and UTF-16 turned
// into UTF-8 before the reader's line rules see it.
#ifndef QUILLET_REPORT_REPORT_TEXT_H
#define QUILLET_REPORT_REPORT_TEXT_H

#include <cstddef>
#include <cstdint>

namespace quillet {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// The rules of UTF-8, one byte at a time: shortest forms only, no surrogates,
// nothing beyond U+10FFFF.
class Utf8Checker {
 public:
  // False, with the state unchanged, when `byte` cannot come next in valid UTF-8.
  bool Take(unsigned char byte) {
    if (need_ > 0) {
      if (byte < low_ || byte > high_) return false;
      --need_;
      low_ = 0x80;
      high_ = 0xBF;
      return true;
    }
    if (byte < 0x80) return true;
    if (byte < 0xC2) return false;  // a continuation byte, or an overlong lead
    if (byte < 0xE0) {
      need_ = 1;
    } else if (byte < 0xF0) {
      need_ = 2;
      if (byte == 0xE0) low_ = 0xA0;   // overlong below U+0800
      if (byte == 0xED) high_ = 0x9F;  // surrogates
    } else if (byte < 0xF5) {
      need_ = 3;
      if (byte == 0xF0) low_ = 0x90;   // overlong below U+10000
      if (byte == 0xF4) high_ = 0x8F;  // beyond U+10FFFF
    } else {
      return false;
    }
    return true;
  }
  // A character has begun and waits for continuation bytes.
  bool InSequence() const { return need_ > 0; }

 private:
  int need_ = 0;
  unsigned char low_ = 0x80;
  unsigned char high_ = 0xBF;
};

// Feeds `n` bytes to `checker`. False at the first byte that breaks UTF-8.
// Otherwise adds to *continuations the bytes that continue a character (so the
// characters begun are n minus those).
bool CheckUtf8(const char* bytes, std::size_t n, Utf8Checker& checker, int* continuations);

// Characters of UTF-8 text: a character begins at the first byte and at every
// byte that does not continue one (10xxxxxx). For valid UTF-8 those are its
// characters; any other bytes are counted the same way.
int CountCharacters(const char* text, int n);

// The character whose bytes begin at `p` (before `stop`), moving `p` past them:
// a character begins at its first byte and takes the continuation bytes after
// it, as CountCharacters counts; one whose bytes are not valid UTF-8 is U+FFFD.
char32_t DecodeCharacter(const unsigned char*& p, const unsigned char* stop);

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
