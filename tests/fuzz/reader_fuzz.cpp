// Report bytes through the reader as the driver takes them: GetLine until the end of
// the report, and DecodeLine with SplitRuns and SplitRawRuns on every ANSI line that
// has positions, DecodeUnicodeLine with LayOutLine on every Unicode line.
//
// Input: 7 header bytes, then the report.
//   [0] bit 0 raw mode, bit 1 a short line, bit 2 a read error ends the data,
//       bit 3 -oem (the bytes are taken as they are)
//   [1] positions of the short line, 0 to 31 (else the driver's 511)
//   [2] character width
//   [3..6] the sizes the file hands out per read, in turn (0: as much as asked)
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "platform/file.h"
#include "platform/text.h"
#include "text/characters.h"
#include "text/line_layout.h"
#include "report/report_reader.h"
#include "report/report_text.h"

namespace quillet {
namespace {

constexpr std::size_t kHeader = 7;
constexpr unsigned char kUnwritten = 0xA5;

struct Source {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;
  std::uint8_t chunks[4] = {};
  unsigned reads = 0;
  bool error_at_end = false;
} g_source;

long ReadSource(std::int32_t, void* buffer, unsigned size) {
  Source& s = g_source;
  const std::size_t left = s.size - s.pos;
  if (left == 0) return s.error_at_end ? -1 : 0;
  std::size_t n = std::min<std::size_t>(size, left);
  if (const std::uint8_t chunk = s.chunks[s.reads++ % 4]) n = std::min<std::size_t>(n, chunk);
  std::memcpy(buffer, s.data + s.pos, n);
  s.pos += n;
  return static_cast<long>(n);
}

// The runs cover the first `length` characters left to right, each as long as its
// attribute lasts, at its column; with `tabs`, a tab is in none and moves the
// next character to the next tab stop. A line with nothing to draw has one
// empty run. The columns never pass one per character plus seven per tab.
void CheckRuns(const DecodedLine& decoded, std::size_t length, int char_width, const TextRun* runs, int n,
               bool tabs) {
  FUZZ_REQUIRE(n >= 1 && static_cast<std::size_t>(n) <= std::max<std::size_t>(length, 1));
  std::size_t at = 0;
  long long column = 0;
  std::size_t tab_count = 0;
  int r = 0;
  bool after_tab = false;
  while (at < length) {
    if (tabs && decoded.chars[at] == '\t') {
      column = NextTabStop(static_cast<int>(column));
      ++at;
      ++tab_count;
      after_tab = true;
      continue;
    }
    FUZZ_REQUIRE(r < n);
    const TextRun& run = runs[r];
    FUZZ_REQUIRE(run.start == static_cast<int>(at) && run.length >= 1);
    FUZZ_REQUIRE(run.attribute <= (ATTR_UNDERLINE | ATTR_BOLD));
    FUZZ_REQUIRE(run.x == column * char_width);
    if (r > 0 && !after_tab) FUZZ_REQUIRE(run.attribute != runs[r - 1].attribute);
    for (int i = run.start; i < run.start + run.length; ++i) {
      FUZZ_REQUIRE(decoded.attrs[i] == run.attribute);
      if (tabs) FUZZ_REQUIRE(decoded.chars[i] != '\t');
    }
    at += static_cast<std::size_t>(run.length);
    column += run.length;
    after_tab = false;
    ++r;
  }
  FUZZ_REQUIRE(column <= static_cast<long long>(length + (kTabStop - 1) * tab_count));
  if (r == 0) {
    FUZZ_REQUIRE(n == 1 && runs[0].start == 0 && runs[0].length == 0 && runs[0].x == 0 &&
                 runs[0].attribute == decoded.attrs[0]);
  } else {
    FUZZ_REQUIRE(r == n);
  }
}

// UTF-8 checked one byte at a time, against which CheckUtf8 is measured too:
// whether every byte may come where it stands, whether a character is left open
// at the end, and the continuation bytes.
struct Utf8Reading {
  bool accepted = true;
  bool open = false;
  int continuations = 0;
};
Utf8Reading ReadUtf8(const char* bytes, std::size_t n) {
  Utf8Reading reading;
  Utf8Checker checker;
  for (std::size_t i = 0; i < n && reading.accepted; ++i) {
    const bool continuation = checker.InSequence();
    reading.accepted = checker.Take(static_cast<unsigned char>(bytes[i]));
    reading.continuations += continuation;
  }
  reading.open = checker.InSequence();
  return reading;
}

TextRun* Runs() {
  static TextRun* const runs = new TextRun[kLineCapacity];
  return runs;
}

// `line` holds at least `count` bytes; the decoder reads no more than those.
void CheckDecoded(const char* line, int count, int char_width) {
  // One decoded line and one set of runs for every line, as in the driver. Bytes
  // past the input's length are marked, as far as a 16-byte store could reach.
  static DecodedLine* const decoded = new DecodedLine;
  TextRun* const runs = Runs();
  const int marked = std::min(count + 33, kLineCapacity);
  std::memset(decoded->chars, kUnwritten, static_cast<std::size_t>(marked));
  std::memset(decoded->attrs, kUnwritten, static_cast<std::size_t>(marked));
  DecodeLine(line, count, *decoded);

  // Never longer than the input: nothing written past its last position, the
  // terminator after the last character, and no mark beyond it.
  const int length = decoded->length;
  FUZZ_REQUIRE(length >= 0 && length <= count && decoded->chars[length] == '\0');
  for (int k = count + 1; k < marked; ++k)
    FUZZ_REQUIRE(static_cast<unsigned char>(decoded->chars[k]) == kUnwritten);
  for (int k = 0; k <= count; ++k) FUZZ_REQUIRE(decoded->attrs[k] <= (ATTR_UNDERLINE | ATTR_BOLD));
  for (int k = length; k <= count; ++k) FUZZ_REQUIRE(decoded->attrs[k] == 0);
  // Without a backspace the line comes out as it went in.
  if (std::memchr(line, '\b', static_cast<std::size_t>(count)) == nullptr) {
    FUZZ_REQUIRE(length == count && std::memcmp(decoded->chars, line, static_cast<std::size_t>(count)) == 0);
    for (int k = 0; k < count; ++k) FUZZ_REQUIRE(decoded->attrs[k] == 0);
  }

  // Printed text stops at the first NUL; a raw line goes out whole.
  int n = SplitRuns(*decoded, char_width, runs);
  CheckRuns(*decoded, std::strlen(decoded->chars), char_width, runs, n, true);
  FUZZ_REQUIRE(InkedColumns(*decoded) <= (runs[n - 1].x / std::max(char_width, 1)) + runs[n - 1].length ||
               char_width == 0);
  n = SplitRawRuns(*decoded, char_width, runs);
  CheckRuns(*decoded, static_cast<std::size_t>(length), char_width, runs, n, false);
}

// The same for a Unicode line of `characters` characters from the reader, or
// for any bytes (`characters` their count).
void CheckDecodedUnicode(const char* text, int count, int characters, int char_width) {
  static UnicodeLine* const decoded = new UnicodeLine;
  std::memset(static_cast<void*>(decoded), kUnwritten, sizeof *decoded);
  DecodeUnicodeLine(text, count, characters, *decoded);
  // Never more characters out than went in, nor more than 511, nor more bytes;
  // the attributes cleared through the terminator's position.
  const int length = decoded->length;
  FUZZ_REQUIRE(length >= 0 && length <= std::min(characters, kLineCapacity - 1));
  FUZZ_REQUIRE(decoded->bytes >= 0 && decoded->bytes <= count && decoded->text[decoded->bytes] == '\0');
  FUZZ_REQUIRE(CountCharacters(decoded->text, decoded->bytes) == length);
  for (int k = 0; k <= length; ++k) FUZZ_REQUIRE(decoded->attrs[k] <= (k < length ? 3 : 0));
  // Without a backspace the line comes out as it went in.
  if (std::memchr(text, '\b', static_cast<std::size_t>(count)) == nullptr && characters < kLineCapacity)
    FUZZ_REQUIRE(decoded->bytes == count && std::memcmp(decoded->text, text, static_cast<std::size_t>(count)) == 0);
  // The layout ends at the first NUL. Its runs follow each other through the
  // units, each character takes at most two columns and a tab at most eight, and
  // no two runs share a column.
  const std::size_t printed_bytes = std::strlen(decoded->text);
  const int printed = CountCharacters(decoded->text, static_cast<int>(printed_bytes));
  const int tabs = static_cast<int>(std::count(decoded->text, decoded->text + printed_bytes, '\t'));
  const long long most = 2LL * (printed - tabs) + static_cast<long long>(kTabStop) * tabs;
  static GridLine* const grid = new GridLine;
  LayOutLine(TextLine{decoded->text, decoded->bytes, decoded->attrs, decoded->plain}, *grid);
  FUZZ_REQUIRE(grid->inked >= 0 && grid->inked <= most);
  FUZZ_REQUIRE(grid->run_count >= 0 && grid->run_count <= std::max(printed, 1));
  FUZZ_REQUIRE(grid->unit_count >= 0 && grid->unit_count <= 2 * printed);
  std::vector<std::pair<long long, long long>> spans;
  int units = 0;
  for (int r = 0; r < grid->run_count; ++r) {
    const GridRun& run = grid->runs[r];
    FUZZ_REQUIRE(run.first == units && run.units >= 1 && run.column >= 0);
    FUZZ_REQUIRE(run.attribute <= (ATTR_UNDERLINE | ATTR_BOLD));
    long long columns = 0;
    for (int k = run.first; k < run.first + run.units; ++k) {
      const char16_t u = grid->units[k];
      FUZZ_REQUIRE(u != 0 && u != u'\t' && grid->advance[k] <= 2);
      if (u >= 0xDC00 && u < 0xE000) {
        FUZZ_REQUIRE(k > run.first && grid->units[k - 1] >= 0xD800 && grid->units[k - 1] < 0xDC00);
        FUZZ_REQUIRE(grid->advance[k] == 0);
      }
      columns += grid->advance[k];
    }
    FUZZ_REQUIRE(run.column + columns <= most);
    if (columns > 0) spans.emplace_back(run.column, run.column + columns);
    units += run.units;
  }
  FUZZ_REQUIRE(units == grid->unit_count);
  std::sort(spans.begin(), spans.end());
  for (std::size_t k = 1; k < spans.size(); ++k) FUZZ_REQUIRE(spans[k].first >= spans[k - 1].second);
  (void)char_width;
}

}  // namespace
}  // namespace quillet

using namespace quillet;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetReportReadForTesting(ReadSource);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  const bool raw = data[0] & 1;
  const bool oem = data[0] & 8;
  const int max_positions = (data[0] & 2) ? data[1] % 32 : kLinePositions;
  const int char_width = data[2];
  g_source = Source{};
  g_source.data = data + kHeader;
  g_source.size = size - kHeader;
  g_source.error_at_end = data[0] & 4;
  std::memcpy(g_source.chunks, data + 3, 4);

  // The text of the report: its bytes, or without detection (raw, oem) the bytes
  // after a UTF-8 mark, or after a UTF-16 mark the UTF-8 of its characters.
  const bool detect = !raw && !oem;
  std::string text(reinterpret_cast<const char*>(g_source.data), g_source.size);
  bool utf16 = false;
  if (detect && text.rfind("\xEF\xBB\xBF", 0) == 0) {
    text.erase(0, 3);
  } else if (detect && (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0)) {
    utf16 = true;
    const bool big_endian = text[0] == '\xFE';
    std::u16string units;
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
      const auto first = static_cast<unsigned char>(text[i]), second = static_cast<unsigned char>(text[i + 1]);
      units += static_cast<char16_t>(big_endian ? first << 8 | second : second << 8 | first);
    }
    const bool odd = text.size() % 2 != 0;
    text = Utf8FromUtf16(units) + (odd ? "\xEF\xBF\xBD" : "");
  }
  // The lines as they must give it back: carriage returns and form feeds gone,
  // each line feed as the last position of its line (itself in raw mode, else NUL).
  std::string expected;
  std::size_t form_feeds = 0;
  for (const char c : text) {
    if (c == '\f') ++form_feeds;
    if (c == '\r' || c == '\f') continue;
    expected += c == '\n' && !raw ? '\0' : c;
  }

  PrintJob job;
  job.raw = raw;
  job.oem = oem;
  ReportInput input;
  input.Open(1, job);
  static ReportLine* const line = new ReportLine;
  std::string lines;
  std::size_t form_feed_lines = 0;
  bool must_end = false;  // the last line ended with the data
  for (std::size_t calls = 0;; ++calls) {
    FUZZ_REQUIRE(calls <= g_source.size + 1);  // every line but the last takes at least a byte
    std::memset(line->text, kUnwritten, sizeof line->text);
    std::int32_t status = -1;
    const int count = GetLine(input, *line, &status, max_positions);
    FUZZ_REQUIRE(status == CTL_NONE || status == CTL_FORM_FEED || status == CTL_EOF);
    FUZZ_REQUIRE(count == line->count && count >= 0 && line->text[count] == '\0');
    FUZZ_REQUIRE(line->positions >= 0 && line->positions <= max_positions && line->positions <= count);
    FUZZ_REQUIRE(count <= 4 * max_positions);
    if (status == CTL_EOF) {
      FUZZ_REQUIRE(count == 0);
      break;
    }
    FUZZ_REQUIRE(!must_end);
    FUZZ_REQUIRE(count > 0 || status == CTL_FORM_FEED);
    const char* bytes = line->text;
    bool beyond_ascii = false;
    int starts = 0;
    for (int k = 0; k < count; ++k) {
      FUZZ_REQUIRE(bytes[k] != '\r' && bytes[k] != '\f');
      if (bytes[k] == '\n') FUZZ_REQUIRE(raw && k == count - 1);
      beyond_ascii |= (bytes[k] & 0x80) != 0;
      starts += (bytes[k] & 0xC0) != 0x80;
    }
    // A Unicode line is valid UTF-8 with a character beyond ASCII, one position
    // per character. An ANSI line is a byte per position; when it ended before
    // it was full, it is not such UTF-8 (nor, in a UTF-16 report, anything but ASCII).
    const Utf8Reading reading = ReadUtf8(bytes, static_cast<std::size_t>(count));
    const bool utf8 = reading.accepted && !reading.open;
    if (line->unicode) {
      FUZZ_REQUIRE(detect && utf8 && beyond_ascii && line->positions == starts);
    } else {
      FUZZ_REQUIRE(line->positions == count);
      if (detect && count < max_positions) FUZZ_REQUIRE(!(utf8 && beyond_ascii));
      if (utf16) FUZZ_REQUIRE(!beyond_ascii);
    }
    // A line cut short of its positions, with no line feed at its end and no form
    // feed after it, is the last one.
    if (status == CTL_NONE && line->positions < max_positions && bytes[count - 1] != (raw ? '\n' : '\0'))
      must_end = true;
    if (status == CTL_FORM_FEED) ++form_feed_lines;
    lines.append(bytes, static_cast<std::size_t>(count));
    if (count > 0 && line->unicode) CheckDecodedUnicode(bytes, count, line->positions, char_width);
    if (count > 0 && !line->unicode) CheckDecoded(bytes, count, char_width);
  }
  if (max_positions > 0) {
    FUZZ_REQUIRE(lines == expected);
    FUZZ_REQUIRE(form_feed_lines == form_feeds);
  } else {
    FUZZ_REQUIRE(lines.empty());  // no room for a position: the report ends at once
  }

  // CheckUtf8 agrees with the byte-at-a-time rules, a character left open
  // included; the decoders take any bytes, not only those the reader lets through.
  {
    const char* all = reinterpret_cast<const char*>(g_source.data);
    const Utf8Reading reading = ReadUtf8(all, g_source.size);
    Utf8Checker checker;
    int continuations = 0;
    FUZZ_REQUIRE(CheckUtf8(all, g_source.size, checker, &continuations) == reading.accepted);
    if (reading.accepted) FUZZ_REQUIRE(checker.InSequence() == reading.open && continuations == reading.continuations);
  }
  const int direct = static_cast<int>(std::min<std::size_t>(g_source.size, kLineCapacity - 1));
  if (direct > 0) {
    std::unique_ptr<char[]> copy(new char[direct]);
    std::memcpy(copy.get(), g_source.data, static_cast<std::size_t>(direct));
    CheckDecoded(copy.get(), direct, char_width);
    CheckDecodedUnicode(copy.get(), direct, CountCharacters(copy.get(), direct), char_width);
  }
  return 0;
}
