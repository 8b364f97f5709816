// UTF-8, once for the whole library: the rules that tell valid UTF-8 from other
// bytes (the reader's check of each line), and the decoder and encoder that the
// reader and the text layout share.
#ifndef QUILLET_TEXT_UTF8_H
#define QUILLET_TEXT_UTF8_H

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

// Characters that DecodeCharacter leaves to its general case.
char32_t DecodeLongCharacter(const unsigned char*& p, const unsigned char* stop);

// The character whose bytes begin at `p` (before `stop`), moving `p` past them:
// a character begins at its first byte and takes every continuation byte
// (10xxxxxx) after it; one whose bytes are not valid UTF-8 is U+FFFD. Characters
// of one and two bytes, most of any report, are decoded here.
inline char32_t DecodeCharacter(const unsigned char*& p, const unsigned char* stop) {
  const unsigned char lead = *p;
  const bool last = p + 1 == stop || (p[1] & 0xC0) != 0x80;
  if (lead < 0x80 && last) {
    ++p;
    return lead;
  }
  if (lead >= 0xC2 && lead < 0xE0 && !last && (p + 2 == stop || (p[2] & 0xC0) != 0x80)) {
    const char32_t c = static_cast<char32_t>(lead & 0x1F) << 6 | (p[1] & 0x3Fu);
    p += 2;
    return c;
  }
  return DecodeLongCharacter(p, stop);
}

// Writes `c` (at most U+10FFFF) as UTF-8 to `out`, which has room for four
// bytes; returns the bytes written. A lone surrogate takes three bytes, as in
// Java's modified UTF-8.
int EncodeUtf8(char32_t c, unsigned char* out);

}  // namespace quillet

#endif
