// Line reader and overstrike decoder for line-printer reports.
//
// GetLine behaves as if it read the report one byte per call, but it takes the
// file in blocks of ReportInput::kBlockSize and copies a line's plain bytes 16 at
// a time while it looks for the next line feed, form feed or carriage return,
// noting on the way whether any byte lies beyond ASCII: only a line that has
// one is looked at again as UTF-8. DecodeLine copies the stretches between
// backspaces the same way.
#include "report/report_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/file.h"
#include "report/reader_simd.h"
#include "report/report_text.h"
#include "text/characters.h"
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

// Reads more of the file into the read-ahead: after the bytes still unread in the
// block, or, when they are all used, into the whole block again. False at the end
// of the data or on a read error (an error ends the report like the end of the
// data does).
bool ReadBytes(ReportInput& in) {
  if (!in.block) {
    in.block.reset(new (std::nothrow) unsigned char[ReportInput::kGiveBack + ReportInput::kBlockSize]);
    if (!in.block) return false;
  }
  if (in.pos == in.end) in.pos = in.end = ReportInput::kGiveBack;
  const std::size_t room = ReportInput::kGiveBack + ReportInput::kBlockSize - in.end;
  if (room == 0) return false;
  const long got = g_read(in.file, in.block.get() + in.end, static_cast<unsigned>(room));
  if (got <= 0) return false;
  in.end += std::min(static_cast<std::size_t>(got), room);
  return true;
}

// The next block of a UTF-16 report, as UTF-8. Reads the file whenever fewer than
// two code units are left over from the last read.
bool RefillUtf16(ReportInput& in) {
  constexpr std::size_t kTake = ReportInput::kBlockSize / 2;  // at most 1.5 times as much UTF-8
  in.pos = in.end = ReportInput::kGiveBack;
  const bool big_endian = in.text == ReportInput::Text::kUtf16BE;
  for (;;) {
    bool at_end = false;
    std::size_t left = in.wide_end - in.wide_pos;
    if (left < 4) {
      std::memmove(in.wide.get(), in.wide.get() + in.wide_pos, left);
      in.wide_pos = 0;
      in.wide_end = left;
      const std::size_t room = ReportInput::kBlockSize - left;
      const long got = g_read(in.file, in.wide.get() + left, static_cast<unsigned>(room));
      if (got > 0) {
        in.wide_end += std::min(static_cast<std::size_t>(got), room);
      } else {
        at_end = true;
      }
      left = in.wide_end;
    }
    std::size_t used = 0;
    in.end += Utf8FromUtf16Bytes(in.wide.get() + in.wide_pos, std::min(left, kTake), big_endian, at_end,
                                 in.block.get() + in.end, ReportInput::kBlockSize, &used);
    in.wide_pos += used;
    if (in.end > in.pos) return true;
    if (at_end) return false;
  }
}

// Refills the read-ahead once all of it is used. False at the end of the data.
bool Refill(ReportInput& in) {
  switch (in.text) {
    case ReportInput::Text::kUtf16LE:
    case ReportInput::Text::kUtf16BE:
      return RefillUtf16(in);
    default:
      return ReadBytes(in);
  }
}

// Settles how the report's bytes are read, at its first line: with detection,
// a byte-order mark is looked for and dropped.
void ReadByteOrderMark(ReportInput& in) {
  in.text = ReportInput::Text::kBytes;
  if (!in.detect) return;
  while (in.end - in.pos < 3 && ReadBytes(in)) {
  }
  const unsigned char* p = in.block ? in.block.get() + in.pos : nullptr;
  const std::size_t have = in.end - in.pos;
  const char* name = nullptr;
  if (have >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    in.pos += 3;
    name = "UTF-8";
  } else if (have >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
    in.text = p[0] == 0xFF ? ReportInput::Text::kUtf16LE : ReportInput::Text::kUtf16BE;
    name = p[0] == 0xFF ? "UTF-16LE" : "UTF-16BE";
    in.wide.reset(new (std::nothrow) unsigned char[ReportInput::kBlockSize]);
    if (!in.wide) {
      in.text = ReportInput::Text::kBytes;  // no memory: nothing more of this report is read
      in.pos = in.end;
      return;
    }
    // What was read after the mark is UTF-16 still to be decoded.
    in.wide_pos = 0;
    in.wide_end = have - 2;
    std::memcpy(in.wide.get(), p + 2, in.wide_end);
    in.pos = in.end;
  }
  if (name != nullptr) Trace("GetLine: %s report (byte-order mark)\n", name);
}

// Sets attrs[0] to attrs[last] (last < kLineCapacity) to 0, and maybe a few after.
inline void ClearAttributes(std::uint8_t* attrs, int last) {
#if defined(QUILLET_READER_SSE2)
  for (int k = 0; k <= last; k += 16) {
    const int at = std::min(k, kLineCapacity - 16);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(attrs + at), _mm_setzero_si128());
  }
#else
  std::memset(attrs, 0, static_cast<std::size_t>(last) + 1);
#endif
}

// Copies bytes from src to dst until the first byte equal to a, b or c, looking
// at no more than n bytes; returns how many were copied (the index of that byte,
// or n). dst must have room for n bytes. Bytes after the stop byte may be written
// to dst too, within those n. With kNoteBeyondAscii, *beyond_ascii becomes
// nonzero when a copied byte lies beyond ASCII, and may when a byte after the
// stop byte (within the same 16) does.
template <char a, char b, char c, bool kNoteBeyondAscii = false>
inline std::size_t CopyUntil(const unsigned char* src, std::size_t n, char* dst, unsigned* beyond_ascii = nullptr) {
  std::size_t k = 0;
#if defined(QUILLET_READER_SSE2)
  const __m128i va = _mm_set1_epi8(a);
  const __m128i vb = _mm_set1_epi8(b);
  const __m128i vc = _mm_set1_epi8(c);
  __m128i seen = _mm_setzero_si128();
  const auto note = [&] {
    if (kNoteBeyondAscii) *beyond_ascii |= static_cast<unsigned>(_mm_movemask_epi8(seen));
  };
  for (; k + 16 <= n; k += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), v);
    if (kNoteBeyondAscii) seen = _mm_or_si128(seen, v);
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                               _mm_cmpeq_epi8(v, vc));
    if (int mask = _mm_movemask_epi8(hit)) {
      note();
      return k + __builtin_ctz(static_cast<unsigned>(mask));
    }
  }
  if (k < n && n >= 16) {
    // The last few bytes: take the final 16 again. Those before k were copied
    // unchanged already, so storing them a second time does no harm.
    const std::size_t base = n - 16;
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + base));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + base), v);
    if (kNoteBeyondAscii) seen = _mm_or_si128(seen, v);
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                               _mm_cmpeq_epi8(v, vc));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)) >> (k - base);
    note();
    return mask != 0 ? k + __builtin_ctz(mask) : n;
  }
  note();
#endif
  unsigned high = 0;
  for (; k < n; ++k) {
    char byte = static_cast<char>(src[k]);
    if (byte == a || byte == b || byte == c) break;
    dst[k] = byte;
    high |= static_cast<unsigned char>(byte);
  }
  if (kNoteBeyondAscii) *beyond_ascii |= high & 0x80;
  return k;
}

// A line whose bytes filled its positions, all of them UTF-8 so far, holds fewer
// characters than positions: it reads on, a byte at a time, up to max_positions
// characters or the line's end. A byte that breaks UTF-8 makes it a line of ANSI
// bytes after all: it keeps its first max_positions bytes, as it would have
// without the look ahead, and gives the rest back to the input for the next line.
void ContinueUtf8Line(ReportInput& in, ReportLine& line, int max_positions, Utf8Checker checker,
                      std::int32_t* status) {
  int stored = line.count;
  int positions = line.positions;
  bool valid = true;
  for (;;) {
    if (positions == max_positions && !checker.InSequence()) break;
    if (in.pos == in.end && !Refill(in)) {
      valid = !checker.InSequence();
      break;
    }
    const unsigned char byte = in.block[in.pos];
    if (byte == kCarriageReturn) {
      ++in.pos;
      continue;
    }
    if (byte == kLineFeed || byte == kFormFeed) {
      valid = !checker.InSequence();
      if (!valid) break;
      ++in.pos;
      if (byte == kFormFeed) {
        *status = CTL_FORM_FEED;
      } else {
        line.text[stored++] = in.raw ? kLineFeed : '\0';
        ++positions;
      }
      break;
    }
    const bool begins = !checker.InSequence();
    if (!checker.Take(byte)) {
      valid = false;
      break;
    }
    ++in.pos;
    line.text[stored++] = static_cast<char>(byte);
    positions += begins;
  }
  if (valid) {
    line.count = stored;
    line.positions = positions;
    line.unicode = true;
    return;
  }
  // The give-back room in front of the block holds every byte a line can read
  // past its positions, and the bytes given back were taken from the block (or,
  // after a refill, lie in front of the data): they fit before in.pos.
  const std::size_t back = static_cast<std::size_t>(stored - max_positions);
  in.pos -= back;
  std::memcpy(in.block.get() + in.pos, line.text + max_positions, back);
  line.count = line.positions = max_positions;
}

}  // namespace

ReportReadFunction SetReportReadForTesting(ReportReadFunction read) {
  ReportReadFunction previous = g_read;
  g_read = read != nullptr ? read : ReportRead;
  return previous;
}

int GetLine(ReportInput& in, ReportLine& line, std::int32_t* status, int max_positions) {
  *status = CTL_NONE;
  max_positions = std::clamp(max_positions, 0, kLinePositions);
  char* const buffer = line.text;
  line.unicode = false;

  // With -raw the bytes go to the printer untouched, and with -oem or -ansi the
  // caller has said what they are: neither a mark nor UTF-8 is looked for.
  if (in.text == ReportInput::Text::kUnknown) ReadByteOrderMark(in);

  int stored = 0;
  unsigned beyond_ascii = 0;
  bool full = false;
  for (;;) {
    // A full line ends here and the byte after it stays in the file for the next
    // call. So no byte is ever lost (a form feed right after 511 characters still
    // breaks the page), at the price that a line of exactly 511 characters and
    // its line feed come back as that line followed by an empty line.
    if (stored == max_positions) {
      full = true;
      break;
    }
    if (in.pos == in.end && !Refill(in)) break;

    // Never look further than the positions left: a carriage return takes none,
    // so after one the loop comes back for more.
    std::size_t window = std::min(in.end - in.pos, static_cast<std::size_t>(max_positions - stored));
    const unsigned char* p = in.block.get() + in.pos;
    std::size_t plain =
        CopyUntil<kLineFeed, kFormFeed, kCarriageReturn, true>(p, window, buffer + stored, &beyond_ascii);
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
      buffer[stored++] = in.raw ? kLineFeed : '\0';
    }
    break;
  }
  line.count = line.positions = stored;

  // An ASCII line is the same text in either reading. Any other is a Unicode
  // line when its bytes are valid UTF-8 with a character beyond ASCII, which
  // text in an ANSI code page with a letter beyond ASCII almost never is.
  if (beyond_ascii != 0 && in.detect) {
    Utf8Checker checker;
    int continuations = 0;
    if (CheckUtf8(buffer, static_cast<std::size_t>(stored), checker, &continuations) &&
        (continuations > 0 || checker.InSequence())) {
      if (full) {
        line.positions = stored - continuations;
        ContinueUtf8Line(in, line, max_positions, checker, status);
      } else if (!checker.InSequence()) {
        line.positions = stored - continuations;
        line.unicode = true;
      }
    }
  }
  buffer[line.count] = '\0';

  if (line.count == 0 && *status == CTL_NONE) {
    Trace("GetLine: found EOF - GetLastError() = %d\n", static_cast<int>(LastSystemError()));
    *status = CTL_EOF;
  }
  return line.count;
}

void DecodeLine(const char* line, int count, DecodedLine& out) {
  count = std::clamp(count, 0, kLineCapacity - 1);
  // The output is never longer than the input, so positions 0..count hold every
  // attribute that the line or its runs can reach; clearing the rest of the 512
  // would cost more than the decoding of a typical line.
  ClearAttributes(out.attrs, count);

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

namespace {

// The runs of an ANSI line of `length` characters that holds a tab: a tab is not
// drawn, it ends the run before it and the next character starts at the next tab
// stop. A line of tabs alone is one empty run.
int SplitRunsAtTabs(const DecodedLine& line, int length, int char_width, TextRun* runs) {
  int count = 0;
  int column = 0;
  for (int k = 0; k < length;) {
    if (line.chars[k] == '\t') {
      column = NextTabStop(column);
      ++k;
      continue;
    }
    const int start = k;
    const std::uint8_t attribute = line.attrs[k];
    while (k < length && line.chars[k] != '\t' && line.attrs[k] == attribute) ++k;
    runs[count++] = TextRun{start, k - start, attribute,
                            static_cast<int>(static_cast<long long>(column) * char_width)};
    column += k - start;
  }
  if (count == 0) runs[count++] = TextRun{0, 0, line.attrs[0], 0};
  return count;
}

}  // namespace

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
  // stay inside the 512-byte arrays. A line with a tab is laid out again, by
  // the tab stops.
  const __m128i zero = _mm_setzero_si128();
  const __m128i tab = _mm_set1_epi8('\t');
  unsigned tabs = 0;
  for (std::size_t base = 0;; base += 16) {
    __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.chars + base));
    unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chars, zero)));
    if (base + 16 > kLast) ends |= 1u << (kLast - base);
    const unsigned tabs_here = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chars, tab)));
    __m128i current = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.attrs + base));
    __m128i previous = base == 0 ? _mm_slli_si128(current, 1)
                                 : _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.attrs + base - 1));
    unsigned starts = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(current, previous))) & 0xFFFFu;
    if (base == 0) starts &= ~1u;
    if (ends != 0) {
      const unsigned length_in_chunk = __builtin_ctz(ends);
      const std::size_t length = base + length_in_chunk;
      if ((tabs | (tabs_here & ((1u << length_in_chunk) - 1))) != 0)
        return SplitRunsAtTabs(line, static_cast<int>(length), char_width, runs);
      starts &= (1u << length_in_chunk) - 1;
      for (; starts != 0; starts &= starts - 1) add_run(base + __builtin_ctz(starts));
      if (length == 0) break;  // empty line: the one run below, of length 0
      add_run(length);
      return count;
    }
    tabs |= tabs_here;
    for (; starts != 0; starts &= starts - 1) add_run(base + __builtin_ctz(starts));
  }
#else
  std::size_t length = 0;
  while (length < kLast && line.chars[length] != '\0') ++length;
  if (std::memchr(line.chars, '\t', length) != nullptr)
    return SplitRunsAtTabs(line, static_cast<int>(length), char_width, runs);
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

namespace {

// The runs of equal attribute over the first `length` characters; an empty line
// has one run, of length 0.
int SplitAttributeRuns(const std::uint8_t* attrs, int length, int char_width, TextRun* runs) {
  if (length <= 0) {
    runs[0] = TextRun{0, 0, attrs[0], 0};
    return 1;
  }
  int count = 0;
  int start = 0;
  auto add_run = [&](int end) {
    runs[count++] = TextRun{start, end - start, attrs[start],
                            static_cast<int>(static_cast<long long>(start) * char_width)};
    start = end;
  };
#if defined(QUILLET_READER_SSE2)
  // As SplitRuns, with the length known: loads stay inside the 512-byte array.
  for (int base = 0; base < length; base += 16) {
    const __m128i current = _mm_loadu_si128(reinterpret_cast<const __m128i*>(attrs + base));
    const __m128i previous = base == 0 ? _mm_slli_si128(current, 1)
                                       : _mm_loadu_si128(reinterpret_cast<const __m128i*>(attrs + base - 1));
    unsigned starts = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(current, previous))) & 0xFFFFu;
    if (base == 0) starts &= ~1u;
    if (length - base < 16) starts &= (1u << (length - base)) - 1;
    for (; starts != 0; starts &= starts - 1) add_run(base + __builtin_ctz(starts));
  }
#else
  for (int k = 1; k < length; ++k) {
    if (attrs[k] != attrs[k - 1]) add_run(k);
  }
#endif
  add_run(length);
  return count;
}

}  // namespace

int InkedColumns(const DecodedLine& line) {
  int column = 0;
  int inked = 0;
  const int length = std::clamp(line.length, 0, kLinePositions);
  for (int k = 0; k < length && line.chars[k] != '\0'; ++k) {
    const char c = line.chars[k];
    if (c == '\t') {
      column = NextTabStop(column);
      continue;
    }
    ++column;
    if (c != ' ') inked = column;
  }
  return inked;
}

int SplitRawRuns(const DecodedLine& line, int char_width, TextRun* runs) {
  return SplitAttributeRuns(line.attrs, std::clamp(line.length, 0, kLineCapacity - 1), char_width, runs);
}

namespace {

inline bool SameBytes(const char* a, const char* b, int size) {
  for (int k = 0; k < size; ++k) {
    if (a[k] != b[k]) return false;
  }
  return true;
}

// The end of the character that begins at text[i] (of n bytes).
inline int CharacterEnd(const char* text, int i, int n) {
  ++i;
  while (i < n && (text[i] & 0xC0) == 0x80) ++i;
  return i;
}

}  // namespace

void DecodeUnicodeLine(const char* text, int count, int characters, UnicodeLine& out) {
  count = std::clamp(count, 0, kLineTextSize - 1);
  // Copied as it is up to the first backspace: with none, nothing changes.
  const int plain = static_cast<int>(CopyUntil<kBackspace, kBackspace, kBackspace>(
      reinterpret_cast<const unsigned char*>(text), static_cast<std::size_t>(count), out.text));
  if (plain == count && characters >= 0 && characters < kLineCapacity) {
    out.text[count] = '\0';
    ClearAttributes(out.attrs, characters);
    out.bytes = count;
    out.length = characters;
    out.plain = true;
    return;
  }

  // The overstrike rules of DecodeLine on characters; `last` is where the last
  // character put out begins, so it can be compared, marked or replaced.
  char* const o = out.text;
  int i = 0;     // next byte of the line
  int j = 0;     // next byte out
  int n = 0;     // characters out
  int last = 0;  // where the last character out begins (when n > 0)
  auto put = [&](const char* bytes, int size) {
    last = j;
    for (int k = 0; k < size; ++k) o[j++] = bytes[k];
    out.attrs[n++] = 0;
  };
  while (i < count && n < kLineCapacity - 1) {
    // A character struck over once, to underline or embolden it, the usual shape
    // of emphasised words, taken in one step. Anything else about a backspace is
    // left to the general cases below.
    while (i < count && n < kLineCapacity - 1 && text[i] != kBackspace) {
      const int end = CharacterEnd(text, i, count);
      // (A backspace that continuation bytes follow is no backspace on its own.)
      if (end + 1 >= count || text[end] != kBackspace || text[end + 1] == kBackspace ||
          (text[end + 1] & 0xC0) == 0x80)
        break;
      const int after = end + 1;
      const int after_end = CharacterEnd(text, after, count);
      const char* shown = text + i;
      int size = end - i;
      if (after_end == after + 1 && text[after] == '_') {
        out.attrs[n] = ATTR_UNDERLINE;
      } else if (after_end - after == size && SameBytes(text + after, shown, size)) {
        out.attrs[n] = ATTR_BOLD;
      } else if (size == 1 && *shown == '_' && !(after_end == after + 1 && (text[after] == '\0' || text[after] == kLineFeed))) {
        out.attrs[n] = ATTR_UNDERLINE;  // underscore first: the character is what shows
        shown = text + after;
        size = after_end - after;
      } else {
        break;
      }
      last = j;
      for (int k = 0; k < size; ++k) o[j++] = shown[k];
      ++n;
      i = after_end;
    }
    if (i >= count || n >= kLineCapacity - 1) break;
    if (text[i] != kBackspace) {
      // The text up to the next backspace goes across whole (CopyUntil writes
      // no further than the line's own length, and j never passes i).
      const int end = i + static_cast<int>(CopyUntil<kBackspace, kBackspace, kBackspace>(
                              reinterpret_cast<const unsigned char*>(text) + i, static_cast<std::size_t>(count - i), o + j));
      const int characters_here = CountCharacters(text + i, end - i);
      if (n + characters_here < kLineCapacity) {
        int final = end - 1;  // where its last character begins
        while (final > i && (text[final] & 0xC0) == 0x80) --final;
        for (int k = 0; k < characters_here; ++k) out.attrs[n + k] = 0;
        last = j + (final - i);
        j += end - i;
        n += characters_here;
        i = end;
        continue;
      }
    }
    const int end = CharacterEnd(text, i, count);
    if (text[i] != kBackspace || end != i + 1) {
      put(text + i, end - i);
      i = end;
      continue;
    }
    // A backspace at i, and the character after it: after the last position,
    // the NUL that ends the line.
    const int next = i + 1;
    const int next_end = next < count ? CharacterEnd(text, next, count) : next + 1;
    const int size = next_end - next;
    const char* const after = next < count ? text + next : "";
    const bool one_byte = size == 1;
    if (one_byte && *after == '_') {
      if (n > 0) out.attrs[n - 1] |= ATTR_UNDERLINE;
      i = next_end;
    } else if (n > 0 && size == j - last && SameBytes(after, o + last, size)) {
      out.attrs[n - 1] |= ATTR_BOLD;
      i = next_end;
    } else if (n > 0 && j - last == 1 && o[last] == '_' &&
               !(one_byte && (*after == '\0' || *after == kLineFeed || *after == kBackspace))) {
      // Underscore first: the character replaces the underscore.
      j = last;
      --n;
      const std::uint8_t marks = out.attrs[n];
      put(after, size);
      out.attrs[n - 1] = marks | ATTR_UNDERLINE;
      i = next_end;
    } else if (one_byte && (*after == 'm' || *after == 'w')) {
      put("\xC2\xB7", 2);  // a middle dot
      i = next_end;
    } else {
      i = next;  // the backspace alone is dropped
    }
  }
  o[j] = '\0';
  out.attrs[n] = 0;
  out.bytes = j;
  out.length = n;
  out.plain = false;
}

}  // namespace quillet
