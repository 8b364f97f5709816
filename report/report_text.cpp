// UTF-8 checks and decoding for the reader's Unicode lines, and UTF-16 reports
// turned into UTF-8. Most report text is ASCII: the loops take it 16 bytes at a
// time and look at a byte on its own only beyond ASCII.
#include "report/report_text.h"

#include "report/reader_simd.h"

namespace quillet {

bool CheckUtf8(const char* bytes, std::size_t n, Utf8Checker& checker, int* continuations) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  std::size_t i = 0;
  int continued = 0;
  while (i < n) {
#if defined(QUILLET_READER_SSE2)
    if (!checker.InSequence()) {
      while (i + 16 <= n) {
        const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        if (high != 0) {
          i += static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(high)));
          break;
        }
        i += 16;
      }
      if (i == n) break;
    }
#endif
    const bool continuation = checker.InSequence();
    if (!checker.Take(p[i])) return false;
    continued += continuation;
    ++i;
  }
  *continuations += continued;
  return true;
}

int DecodeUtf8(const char* bytes, int n, char32_t* out, int max) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  int i = 0;
  int j = 0;
  while (i < n && j < max) {
#if defined(QUILLET_READER_SSE2)
    // ASCII 16 bytes at a time, widened to code points. A chunk that holds a byte
    // beyond ASCII is stored whole and taken up to that byte.
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= n && j + 16 <= max) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const __m128i low = _mm_unpacklo_epi8(v, zero);
      const __m128i high = _mm_unpackhi_epi8(v, zero);
      auto* to = reinterpret_cast<__m128i*>(out + j);
      _mm_storeu_si128(to, _mm_unpacklo_epi16(low, zero));
      _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(low, zero));
      _mm_storeu_si128(to + 2, _mm_unpacklo_epi16(high, zero));
      _mm_storeu_si128(to + 3, _mm_unpackhi_epi16(high, zero));
      const int beyond = _mm_movemask_epi8(v);
      const int ascii = beyond == 0 ? 16 : __builtin_ctz(static_cast<unsigned>(beyond));
      i += ascii;
      j += ascii;
      if (ascii < 16) break;
    }
    if (i == n || j == max) break;
#endif
    const unsigned char lead = p[i];
    if (lead < 0x80) {
      out[j++] = lead;
      ++i;
      continue;
    }
    Utf8Checker checker;
    if (checker.Take(lead)) {
      char32_t code = lead & (lead >= 0xF0 ? 0x07u : lead >= 0xE0 ? 0x0Fu : 0x1Fu);
      int k = 1;
      while (checker.InSequence() && i + k < n && checker.Take(p[i + k])) {
        code = code << 6 | (p[i + k] & 0x3Fu);
        ++k;
      }
      if (!checker.InSequence()) {
        out[j++] = code;
        i += k;
        continue;
      }
    }
    out[j++] = kReplacementCharacter;
    ++i;
  }
  return j;
}

std::size_t Utf8FromUtf16Bytes(const unsigned char* in, std::size_t n, bool big_endian, bool at_end,
                               unsigned char* out, std::size_t room, std::size_t* used) {
  const auto unit = [&](std::size_t k) -> char32_t {
    return big_endian ? (char32_t{in[k]} << 8 | in[k + 1]) : (in[k] | char32_t{in[k + 1]} << 8);
  };
  std::size_t i = 0;
  std::size_t o = 0;
  while (o + 4 <= room && i < n) {
    char32_t code = kReplacementCharacter;
    if (n - i < 2) {  // an odd last byte
      if (!at_end) break;
      i += 1;
    } else {
      code = unit(i);
      if (code >= 0xD800 && code < 0xDC00) {
        if (n - i < 4 && !at_end) break;  // its partner may come with the next read
        const char32_t low = n - i >= 4 ? unit(i + 2) : 0;
        if (low >= 0xDC00 && low < 0xE000) {
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        } else {
          code = kReplacementCharacter;
        }
      } else if (code >= 0xDC00 && code < 0xE000) {
        code = kReplacementCharacter;
      }
      i += 2;
    }
    if (code < 0x80) {
      out[o++] = static_cast<unsigned char>(code);
    } else if (code < 0x800) {
      out[o++] = static_cast<unsigned char>(0xC0 | code >> 6);
      out[o++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out[o++] = static_cast<unsigned char>(0xE0 | code >> 12);
      out[o++] = static_cast<unsigned char>(0x80 | (code >> 6 & 0x3F));
      out[o++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    } else {
      out[o++] = static_cast<unsigned char>(0xF0 | code >> 18);
      out[o++] = static_cast<unsigned char>(0x80 | (code >> 12 & 0x3F));
      out[o++] = static_cast<unsigned char>(0x80 | (code >> 6 & 0x3F));
      out[o++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    }
  }
  *used = i;
  return o;
}

}  // namespace quillet
