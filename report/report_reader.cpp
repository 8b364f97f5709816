// Line reader and overstrike decoder for line-printer reports.
//
// GetLine behaves as if it read the report one byte per call, but it takes the
// file in blocks of ReportInput::kBlockSize and copies a line's plain bytes 16 at
// a time while it looks for the next line feed, form feed or carriage return.
// DecodeLine copies the stretches between backspaces the same way.
#include "report/report_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

// The SSE2 forms of the loops, wherever the compiler targets SSE2, unless the
// build asks for the portable forms (QUILLET_NO_SSE2): those are what processors
// without SSE2 run, so the tests build them too.
#if defined(__SSE2__) && !defined(QUILLET_NO_SSE2)
#define QUILLET_READER_SSE2 1
#include <emmintrin.h>
#endif

#include "platform/file.h"
#include "trace/trace.h"

namespace quillet {
namespace {

constexpr char kBackspace = '\x08';
constexpr char kLineFeed = '\x0A';
constexpr char kFormFeed = '\x0C';
constexpr char kCarriageReturn = '\x0D';
constexpr char kMiddleDot = '\xB7';  // stands for a struck-over "m" or "w" (code page 1252)

ReportReadFunction g_read = ReportRead;

// A byte that can stand over an underscore. The line's own structure (its NUL
// terminator or line-feed position, another backspace) never replaces one.
inline bool IsStruckCharacter(char c) { return c != '\0' && c != kLineFeed && c != kBackspace; }

// Refills job.input from the file. False at the end of the data or on a read error
// (an error ends the report like the end of the data does).
bool Refill(PrintJob& job) {
  ReportInput& in = job.input;
  in.pos = in.end = 0;
  if (!in.block) {
    in.block.reset(new (std::nothrow) unsigned char[ReportInput::kBlockSize]);
    if (!in.block) return false;
  }
  long got = g_read(job.file, in.block.get(), static_cast<unsigned>(ReportInput::kBlockSize));
  if (got <= 0) return false;
  in.end = std::min(static_cast<std::size_t>(got), ReportInput::kBlockSize);
  return true;
}

// Copies bytes from src to dst until the first byte equal to a, b or c, looking
// at no more than n bytes; returns how many were copied (the index of that byte,
// or n). dst must have room for n bytes. Bytes after the stop byte may be written
// to dst too, within those n.
template <char a, char b, char c>
inline std::size_t CopyUntil(const unsigned char* src, std::size_t n, char* dst) {
  std::size_t k = 0;
#if defined(QUILLET_READER_SSE2)
  const __m128i va = _mm_set1_epi8(a);
  const __m128i vb = _mm_set1_epi8(b);
  const __m128i vc = _mm_set1_epi8(c);
  for (; k + 16 <= n; k += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), v);
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                               _mm_cmpeq_epi8(v, vc));
    if (int mask = _mm_movemask_epi8(hit)) return k + __builtin_ctz(static_cast<unsigned>(mask));
  }
  if (k < n && n >= 16) {
    // The last few bytes: take the final 16 again. Those before k were copied
    // unchanged already, so storing them a second time does no harm.
    const std::size_t base = n - 16;
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + base));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + base), v);
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                               _mm_cmpeq_epi8(v, vc));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)) >> (k - base);
    return mask != 0 ? k + __builtin_ctz(mask) : n;
  }
#endif
  for (; k < n; ++k) {
    char byte = static_cast<char>(src[k]);
    if (byte == a || byte == b || byte == c) break;
    dst[k] = byte;
  }
  return k;
}

}  // namespace

ReportReadFunction SetReportReadForTesting(ReportReadFunction read) {
  ReportReadFunction previous = g_read;
  g_read = read != nullptr ? read : ReportRead;
  return previous;
}

int GetLine(PrintJob& job, char* buffer, int capacity, std::int32_t* status) {
  *status = CTL_NONE;
  if (capacity < 1) {  // not even room for the terminator
    *status = CTL_EOF;
    return 0;
  }
  buffer[capacity - 1] = '\0';

  ReportInput& in = job.input;
  if (in.handle != job.file) {
    in.Reset();
    in.handle = job.file;
  }

  const int max_positions = capacity - 1;
  int stored = 0;
  for (;;) {
    // A full line ends here and the byte after it stays in the file for the next
    // call. So no byte is ever lost (a form feed right after 511 characters still
    // breaks the page), at the price that a line of exactly 511 characters and
    // its line feed come back as that line followed by an empty line.
    if (stored == max_positions) break;
    if (in.pos == in.end && !Refill(job)) break;

    // Never look further than the positions left: a carriage return takes none,
    // so after one the loop comes back for more.
    std::size_t window = std::min(in.end - in.pos, static_cast<std::size_t>(max_positions - stored));
    const unsigned char* p = in.block.get() + in.pos;
    std::size_t plain = CopyUntil<kLineFeed, kFormFeed, kCarriageReturn>(p, window, buffer + stored);
    stored += static_cast<int>(plain);
    in.pos += plain;
    if (plain == window) continue;
    char stop = static_cast<char>(p[plain]);
    ++in.pos;
    if (stop == kCarriageReturn) {
      if (in.pos == in.end || in.block[in.pos] != kLineFeed) continue;
      ++in.pos;  // CR LF, the usual line end, taken in one step
      stop = kLineFeed;
    }
    if (stop == kFormFeed) {
      *status = CTL_FORM_FEED;
    } else {
      buffer[stored++] = job.raw ? kLineFeed : '\0';
    }
    break;
  }
  buffer[stored] = '\0';

  if (stored == 0 && *status == CTL_NONE) {
    Trace("GetLine: found EOF - GetLastError() = %d\n", static_cast<int>(LastSystemError()));
    *status = CTL_EOF;
  }
  return stored;
}

void DecodeLine(const char* line, int count, DecodedLine& out) {
  count = std::clamp(count, 0, kLineCapacity - 1);
  // The output is never longer than the input, so positions 0..count hold every
  // attribute that the line or its runs can reach; clearing the rest of the 512
  // would cost more than the decoding of a typical line.
#if defined(QUILLET_READER_SSE2)
  for (int k = 0; k <= count; k += 16) {
    const int at = std::min(k, kLineCapacity - 16);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.attrs + at), _mm_setzero_si128());
  }
#else
  std::memset(out.attrs, 0, count + 1);
#endif

  int i = 0;
  int j = 0;
  while (i < count) {
    // A character struck over once, to underline or embolden it: the usual shape
    // of emphasised words, taken three bytes at a time. Anything else about a
    // backspace is left to the general cases below.
    while (i + 2 < count && line[i + 1] == kBackspace && line[i] != kBackspace) {
      const char c = line[i];
      const char n = line[i + 2];
      std::uint8_t mark = 0;
      char shown = c;
      if (n == '_') {
        mark = ATTR_UNDERLINE;
      } else if (n == c) {
        mark = ATTR_BOLD;
      } else if (c == '_' && IsStruckCharacter(n)) {
        mark = ATTR_UNDERLINE;  // underscore first: the character is what shows
        shown = n;
      }
      out.chars[j] = shown;
      if (mark == 0) {
        ++j;
        ++i;
        break;
      }
      out.attrs[j++] = mark;  // a new position, so its attribute was 0
      i += 3;
    }
    if (i >= count) break;
    if (line[i] != kBackspace) {
      // Plain bytes up to the next backspace go across in one copy (j never
      // passes i, so out.chars has room for the rest of the line).
      const unsigned char* in = reinterpret_cast<const unsigned char*>(line) + i;
      int plain = static_cast<int>(CopyUntil<kBackspace, kBackspace, kBackspace>(in, count - i, out.chars + j));
      i += plain;
      j += plain;
      if (i == count) break;
    }

    // A backspace at i. After the last position comes the line's NUL terminator.
    char next = i + 1 < count ? line[i + 1] : '\0';
    if (next == '_') {
      if (j > 0) out.attrs[j - 1] |= ATTR_UNDERLINE;
      i += 2;
    } else if (j > 0 && next == out.chars[j - 1]) {
      out.attrs[j - 1] |= ATTR_BOLD;
      i += 2;
    } else if (j > 0 && out.chars[j - 1] == '_' && IsStruckCharacter(next)) {
      out.chars[j - 1] = next;
      out.attrs[j - 1] |= ATTR_UNDERLINE;
      i += 2;
    } else if (next == 'm' || next == 'w') {
      out.chars[j++] = kMiddleDot;
      i += 2;
    } else {
      i += 1;  // the backspace alone is dropped; `next` is read as a plain byte
    }
  }
  out.chars[j] = '\0';
  out.length = j;
}

int SplitRuns(const DecodedLine& line, int char_width, TextRun* runs) {
  int count = 0;
  std::size_t start = 0;
  auto add_run = [&](std::size_t end) {
    runs[count++] = TextRun{static_cast<int>(start), static_cast<int>(end - start), line.attrs[start],
                            static_cast<int>(static_cast<long long>(start) * char_width)};
    start = end;
  };
  constexpr std::size_t kLast = kLineCapacity - 1;  // the line ends here at the latest
#if defined(QUILLET_READER_SSE2)
  // A run starts wherever an attribute differs from the one before it: compare
  // the attributes with themselves one position on, 16 at a time, and walk the
  // bits of the differences, until the chunk that holds the line's NUL. Loads
  // stay inside the 512-byte arrays.
  const __m128i zero = _mm_setzero_si128();
  for (std::size_t base = 0;; base += 16) {
    __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.chars + base));
    unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chars, zero)));
    if (base + 16 > kLast) ends |= 1u << (kLast - base);
    __m128i current = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.attrs + base));
    __m128i previous = base == 0 ? _mm_slli_si128(current, 1)
                                 : _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.attrs + base - 1));
    unsigned starts = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(current, previous))) & 0xFFFFu;
    if (base == 0) starts &= ~1u;
    if (ends != 0) {
      const unsigned length_in_chunk = __builtin_ctz(ends);
      starts &= (1u << length_in_chunk) - 1;
      for (; starts != 0; starts &= starts - 1) add_run(base + __builtin_ctz(starts));
      const std::size_t length = base + length_in_chunk;
      if (length == 0) break;  // empty line: the one run below, of length 0
      add_run(length);
      return count;
    }
    for (; starts != 0; starts &= starts - 1) add_run(base + __builtin_ctz(starts));
  }
#else
  std::size_t length = 0;
  while (length < kLast && line.chars[length] != '\0') ++length;
  if (length != 0) {
    for (std::size_t k = 1; k < length; ++k) {
      if (line.attrs[k] != line.attrs[k - 1]) add_run(k);
    }
    add_run(length);
    return count;
  }
#endif
  runs[0] = TextRun{0, 0, line.attrs[0], 0};
  return 1;
}

int SplitRawRuns(const DecodedLine& line, int char_width, TextRun* runs) {
  const int length = std::clamp(line.length, 0, kLineCapacity - 1);
  if (length == 0) {
    runs[0] = TextRun{0, 0, line.attrs[0], 0};
    return 1;
  }
  int count = 0;
  int start = 0;
  for (int k = 1; k <= length; ++k) {
    if (k == length || line.attrs[k] != line.attrs[start]) {
      runs[count++] = TextRun{start, k - start, line.attrs[start],
                              static_cast<int>(static_cast<long long>(start) * char_width)};
      start = k;
    }
  }
  return count;
}

}  // namespace quillet
