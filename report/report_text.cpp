// UTF-8 checks and character counts for the reader's Unicode lines, their
// characters in UTF-16 for the printer, and UTF-16 reports turned into UTF-8.
// Most report text is ASCII, and most of the rest two-byte characters: the
// checks take those 16 bytes at a time.
#include "report/report_text.h"

#include "report/reader_simd.h"

namespace quillet {

namespace {

#if defined(QUILLET_READER_SSE2)
// Bits set in a 16-bit mask (no popcount instruction on every processor the DLL
// runs on).
inline int Count16(unsigned x) {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0F0Fu;
  return static_cast<int>((x + (x >> 8)) & 0x1Fu);
}

// How many of the 16 bytes at p, after the first `skip`, are whole ASCII and
// two-byte characters (the letters of Latin, Greek and Cyrillic scripts), the
// byte after `skip` beginning a character. Stops before a byte of a longer
// character (or one that begins none: *longer is set then) and before a
// two-byte character that the sixteen cut. -1 when the bytes taken are not
// whole characters: a continuation byte without its first byte, or a first
// byte without its continuation.
inline int TwoByteSpan(const unsigned char* p, int skip, bool* longer) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const unsigned live = 0xFFFFu << skip & 0xFFFFu;
  const unsigned beyond = static_cast<unsigned>(_mm_movemask_epi8(v)) & live;
  // As signed bytes, continuation bytes (0x80-0xBF) are -128 to -65 and the
  // first bytes of two-byte characters (0xC2-0xDF) -62 to -33.
  const unsigned lead = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
                            _mm_cmpgt_epi8(v, _mm_set1_epi8(-63)), _mm_cmplt_epi8(v, _mm_set1_epi8(-32))))) & live;
  const unsigned follow = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(-64)))) & live;
  const unsigned other = beyond & ~(lead | follow);
  int end = __builtin_ctz(other | 0x10000u);
  *longer = other != 0;
  end -= static_cast<int>((lead << 1) >> end & 1);  // a first byte just before the stop waits
  const unsigned taken = (1u << end) - 1;
  if ((follow & taken) != (lead & taken) << 1) return -1;
  return end - skip;
}
#endif

}  // namespace

bool CheckUtf8(const char* bytes, std::size_t n, Utf8Checker& checker, int* continuations) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  std::size_t i = 0;
  // A character left open by the bytes before these is finished first.
  while (i < n && checker.InSequence()) {
    if (!checker.Take(p[i++])) return false;
  }
#if defined(QUILLET_READER_SSE2)
  // ASCII before the first byte beyond it, then sixteen bytes at a time as far as
  // they are ASCII and two-byte characters; a longer character on its own. The
  // last sixteen bytes are taken again for those left over.
  while (i + 16 <= n && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))) == 0) i += 16;
  // What stopped a span: a byte of a longer character, taken on its own here,
  // or a two-byte character's first byte that such a byte follows. False when
  // the bytes are not valid UTF-8 or are too few to hold the character.
  const auto longer_character = [&]() {
    if ((p[i] >= 0xC2 && p[i] < 0xE0) || i + 4 > n) return false;
    Utf8Checker whole;
    std::size_t k = 0;
    do {
      if (!whole.Take(p[i + k])) return false;
      ++k;
    } while (whole.InSequence());
    i += k;
    return true;
  };
  bool by_bytes = false;  // the rest one byte at a time
  while (i + 16 <= n && !by_bytes) {
    bool longer = false;
    const int taken = TwoByteSpan(p + i, 0, &longer);
    if (taken < 0) return false;
    i += static_cast<std::size_t>(taken);
    // All sixteen taken, or all but a two-byte character that the next round
    // begins with; or a longer character comes next.
    by_bytes = longer && !longer_character();
  }
  // The last bytes, from the last sixteen.
  while (i < n && n >= 16 && !by_bytes) {
    bool longer = false;
    const int skip = static_cast<int>(i - (n - 16));
    const int taken = TwoByteSpan(p + n - 16, skip, &longer);
    if (taken < 0) return false;
    i += static_cast<std::size_t>(taken);
    if (taken == 0 && !longer) break;  // the last byte begins a character
    by_bytes = longer && !longer_character();
  }
#endif
  // The last bytes one at a time: a character that they leave open stays open
  // in `checker`.
  for (; i < n; ++i) {
    if (!checker.Take(p[i])) return false;
  }
  // Valid: the bytes that are not the first of a character continue one.
  if (n > 0) *continuations += static_cast<int>(n) - CountCharacters(bytes, static_cast<int>(n)) + ((p[0] & 0xC0) == 0x80);
  return true;
}

int CountCharacters(const char* text, int n) {
  if (n <= 0) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  int continued = 0;
  int i = 1;  // the first byte begins a character, whatever it is
#if defined(QUILLET_READER_SSE2)
  if (n >= 17) {
    // Continuation bytes counted in the 16 byte lanes of `sum`, then added up;
    // the last bytes come from the final sixteen, those counted already masked off.
    const __m128i sixty_four = _mm_set1_epi8(-64);
    const auto add_up = [&](__m128i sum) {
      const __m128i total = _mm_sad_epu8(sum, _mm_setzero_si128());
      continued += _mm_cvtsi128_si32(total) + _mm_cvtsi128_si32(_mm_srli_si128(total, 8));
    };
    __m128i sum = _mm_setzero_si128();
    for (int chunks = 0; i + 16 <= n; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      sum = _mm_sub_epi8(sum, _mm_cmplt_epi8(v, sixty_four));
      if (++chunks == 255) {  // before a lane can overflow
        add_up(sum);
        sum = _mm_setzero_si128();
        chunks = 0;
      }
    }
    add_up(sum);
    if (i < n) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
      const unsigned follow = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, sixty_four)));
      continued += Count16(follow >> (16 - (n - i)));
    }
    return n - continued;
  }
#endif
  for (; i < n; ++i) continued += (p[i] & 0xC0) == 0x80;
  return n - continued;
}

int Utf16FromCharacters(const char*& text, const char* end, int characters, char16_t* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const auto* const stop = reinterpret_cast<const unsigned char*>(end);
  int n = 0;
  for (int c = 0; c < characters && p < stop; ++c) {
    // The character's bytes: its first and the continuation bytes after it.
    const unsigned char* const first = p++;
    while (p < stop && (*p & 0xC0) == 0x80) ++p;
    const unsigned char lead = *first;
    if (lead < 0x80 && p == first + 1) {
      out[n++] = lead;
      continue;
    }
    Utf8Checker checker;
    char32_t code = lead & (lead >= 0xF0 ? 0x07u : lead >= 0xE0 ? 0x0Fu : 0x1Fu);
    bool valid = checker.Take(lead);
    for (const unsigned char* b = first + 1; valid && b < p; ++b) {
      valid = checker.InSequence() && checker.Take(*b);
      code = code << 6 | (*b & 0x3Fu);
    }
    if (!valid || checker.InSequence()) code = kReplacementCharacter;
    if (code >= 0x10000) {
      out[n++] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out[n++] = static_cast<char16_t>(code);
    }
  }
  text = reinterpret_cast<const char*>(p);
  return n;
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
