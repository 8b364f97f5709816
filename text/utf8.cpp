#include "text/utf8.h"

namespace quillet {

char32_t DecodeLongCharacter(const unsigned char*& p, const unsigned char* stop) {
  const unsigned char* const first = p++;
  while (p < stop && (*p & 0xC0) == 0x80) ++p;
  const unsigned char lead = *first;
  if (lead < 0x80 && p == first + 1) return lead;
  Utf8Checker checker;
  char32_t code = lead & (lead >= 0xF0 ? 0x07u : lead >= 0xE0 ? 0x0Fu : 0x1Fu);
  bool valid = checker.Take(lead);
  for (const unsigned char* b = first + 1; valid && b < p; ++b) {
    valid = checker.InSequence() && checker.Take(*b);
    code = code << 6 | (*b & 0x3Fu);
  }
  return valid && !checker.InSequence() ? code : kReplacementCharacter;
}

int EncodeUtf8(char32_t c, unsigned char* out) {
  if (c < 0x80) {
    out[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | c >> 6);
    out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | c >> 12);
    out[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | c >> 18);
  out[1] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

}  // namespace quillet
