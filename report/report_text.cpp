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

// The characters of three and four bytes whose first bytes are the bits of
// `leads` among the sixteen bytes at p + i (E0 and above, rare in most text).
// Returns the bits of those of four bytes. False in *valid when a first byte is
// one that UTF-8 never holds (F5-FF) or its second byte, which lies before `end`
// when the text is valid, is outside the narrower range that some first bytes
// ask for: E0 (no overlong form below U+0800), ED (no surrogates), F0 (no
// overlong form below U+10000) and F4 (nothing beyond U+10FFFF).
inline unsigned LongCharacters(const unsigned char* p, std::size_t i, std::size_t end, unsigned leads, bool* valid) {
  unsigned four = 0;
  for (; leads != 0; leads &= leads - 1) {
    const unsigned bit = static_cast<unsigned>(__builtin_ctz(leads));
    const std::size_t at = i + bit;
    const unsigned char first = p[at];
    if (first >= 0xF0) four |= 1u << bit;
    if (first >= 0xF5 || at + 1 >= end) *valid = false;
    if (!*valid) break;
    const unsigned char second = p[at + 1];
    if ((first == 0xE0 && second < 0xA0) || (first == 0xED && second > 0x9F) ||
        (first == 0xF0 && second < 0x90) || (first == 0xF4 && second > 0x8F))
      *valid = false;
  }
  return four;
}

// Checks the bytes from p[i] up to `end`, which must be whole characters of
// UTF-8, and counts the bytes that continue a character into *continued. Each
// byte is sorted by its range: a first byte of a character of two, three or four
// bytes asks for one, two or three continuation bytes after it, and the text is
// valid when exactly the bytes asked for are continuation bytes, no byte is one
// that UTF-8 never holds (C0, C1, F5-FF), and the first bytes of LongCharacters
// have their second bytes in range.
//
// Sixteen bytes at a time, the wrong lanes gathered without a branch and looked
// at once at the end; the characters of three and four bytes, rare in most text,
// looked at one by one only where there are any.
bool CheckWholeCharacters(const unsigned char* p, std::size_t i, std::size_t end, int* continued) {
  const __m128i zero = _mm_setzero_si128();
  // With the top bit of each byte flipped, the bytes beyond ASCII are 0 to 127
  // as signed bytes and ASCII lies below them: one comparison per range.
  const __m128i flip = _mm_set1_epi8(-128);
  const auto at_least = [&](__m128i flipped, int byte) {
    return _mm_cmpgt_epi8(flipped, _mm_set1_epi8(static_cast<char>(byte - 0x81)));
  };
  struct Sorted {
    __m128i follow;  // continuation bytes
    __m128i three;   // first bytes of characters of three or four bytes
    __m128i wrong;   // lanes that break UTF-8
    __m128i carry;   // continuation bytes asked for in the next sixteen, from lane 0
  };
  // `asked`: the continuation bytes that the bytes before these ask for.
  const auto sort = [&](__m128i v, __m128i asked) {
    const __m128i flipped = _mm_xor_si128(v, flip);
    const __m128i lead = at_least(flipped, 0xC0);
    const __m128i two = at_least(flipped, 0xC2);
    const __m128i three = at_least(flipped, 0xE0);
    const __m128i four = at_least(flipped, 0xF0);
    Sorted out;
    out.follow = _mm_cmplt_epi8(v, _mm_set1_epi8(-64));  // 80-BF are -128 to -65
    out.three = three;
    asked = _mm_or_si128(_mm_or_si128(asked, _mm_slli_si128(two, 1)),
                         _mm_or_si128(_mm_slli_si128(three, 2), _mm_slli_si128(four, 3)));
    // A continuation byte where none is asked for or none where one is; C0, C1.
    out.wrong = _mm_or_si128(_mm_xor_si128(asked, out.follow), _mm_andnot_si128(two, lead));
    out.carry = _mm_or_si128(_mm_srli_si128(two, 15), _mm_or_si128(_mm_srli_si128(three, 14), _mm_srli_si128(four, 13)));
    return out;
  };
  const auto mask = [](__m128i lanes) { return static_cast<unsigned>(_mm_movemask_epi8(lanes)); };

  __m128i wrong = zero;
  __m128i longer = zero;
  __m128i counts = zero;  // continuation bytes, lane by lane
  __m128i carry = zero;
  int chunks = 0;
  const auto add_up = [&] {
    const __m128i total = _mm_sad_epu8(counts, zero);
    *continued += _mm_cvtsi128_si32(total) + _mm_cvtsi128_si32(_mm_srli_si128(total, 8));
    counts = zero;
    chunks = 0;
  };
  const std::size_t start = i;
  for (; end - i >= 16; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i flipped = _mm_xor_si128(v, flip);
    const __m128i three = at_least(flipped, 0xE0);
    __m128i follow;
    if (_mm_movemask_epi8(three) == 0) {
      // Only characters of one and two bytes: each first byte asks for one.
      const __m128i lead = at_least(flipped, 0xC0);
      follow = _mm_cmplt_epi8(v, _mm_set1_epi8(-64));
      const __m128i asked = _mm_or_si128(carry, _mm_slli_si128(lead, 1));
      wrong = _mm_or_si128(wrong, _mm_xor_si128(asked, follow));
      wrong = _mm_or_si128(wrong, _mm_andnot_si128(at_least(flipped, 0xC2), lead));
      carry = _mm_srli_si128(lead, 15);
    } else {
      const Sorted sorted = sort(v, carry);
      wrong = _mm_or_si128(wrong, sorted.wrong);
      longer = _mm_or_si128(longer, sorted.three);
      follow = sorted.follow;
      carry = sorted.carry;
    }
    counts = _mm_sub_epi8(counts, follow);
    if (++chunks == 255) add_up();  // before a lane can overflow
  }
  add_up();
  if (mask(wrong) != 0) return false;
  if (mask(longer) != 0) {
    bool valid = true;
    for (std::size_t k = start; k < i && valid; k += 16) {
      const unsigned three = mask(at_least(_mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)), flip), 0xE0));
      if (three != 0) LongCharacters(p, k, end, three, &valid);
    }
    if (!valid) return false;
  }
  if (i == end) return mask(carry) == 0;

  // The last bytes. With three or more bytes before them among those checked,
  // the sixteen that end at `end`, sorted anew (each lane's character begins in
  // them), and only the lanes of the last bytes looked at. Otherwise the last
  // bytes followed by ASCII zeros, after what the sixteen before ask for.
  const std::size_t rest = end - i;
  Sorted last;
  unsigned lanes = 0xFFFFu;
  unsigned skip = 0;
  if (end - start >= 16 && rest <= 13) {
    last = sort(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + end - 16)), zero);
    skip = static_cast<unsigned>(16 - rest);
    lanes = 0xFFFFu << skip & 0xFFFFu;
  } else {
    alignas(16) unsigned char bytes[16] = {};
    for (std::size_t k = 0; k < rest; ++k) bytes[k] = p[i + k];
    last = sort(_mm_load_si128(reinterpret_cast<const __m128i*>(bytes)), carry);
  }
  if ((mask(last.wrong) & lanes) != 0 || mask(last.carry) != 0) return false;
  bool valid = true;
  const unsigned three = (mask(last.three) & lanes) >> skip;
  if (three != 0) LongCharacters(p, i, end, three, &valid);
  *continued += Count16((mask(last.follow) & lanes) >> skip);
  return valid;
}
#endif

}  // namespace

bool CheckUtf8(const char* bytes, std::size_t n, Utf8Checker& checker, int* continuations) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  std::size_t i = 0;
  int continued = 0;
  // A character left open by the bytes before these is finished first.
  while (i < n && checker.InSequence()) {
    if (!checker.Take(p[i++])) return false;
    ++continued;
  }
#if defined(QUILLET_READER_SSE2)
  // Whole characters up to where the last one begins, 16 bytes at a time; that
  // last one, which may be left open, byte by byte below.
  std::size_t whole = n;
  while (whole > i && n - whole < 3 && (p[whole - 1] & 0xC0) == 0x80) --whole;
  if (whole > i && p[whole - 1] >= 0xC0) --whole;
  if (!CheckWholeCharacters(p, i, whole, &continued)) return false;
  i = whole;
#endif
  for (; i < n; ++i) {
    continued += checker.InSequence();
    if (!checker.Take(p[i])) return false;
  }
  *continuations += continued;
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
    o += static_cast<std::size_t>(EncodeUtf8(code, out + o));
  }
  *used = i;
  return o;
}

}  // namespace quillet
