// Report bytes through the reader as the driver takes them: GetLine until the end of
// the report, and DecodeLine with SplitRuns and SplitRawRuns on every line that has
// positions.
//
// Input: 7 header bytes, then the report.
//   [0] bit 0 raw mode, bit 1 a small line buffer, bit 2 a read error ends the data
//   [1] capacity of the small buffer, 1 to 32 bytes (else the driver's 512)
//   [2] character width
//   [3..6] the sizes the file hands out per read, in turn (0: as much as asked)
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "platform/file.h"
#include "report/report_reader.h"

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

// The runs cover the first `length` characters exactly, left to right, each as long
// as its attribute lasts; an empty line has one empty run.
void CheckRuns(const DecodedLine& decoded, std::size_t length, int char_width, const TextRun* runs, int n) {
  FUZZ_REQUIRE(n >= 1 && static_cast<std::size_t>(n) <= std::max<std::size_t>(length, 1));
  if (length == 0) {
    FUZZ_REQUIRE(n == 1 && runs[0].start == 0 && runs[0].length == 0 && runs[0].x == 0 &&
                 runs[0].attribute == decoded.attrs[0]);
    return;
  }
  std::size_t at = 0;
  for (int r = 0; r < n; ++r) {
    const TextRun& run = runs[r];
    FUZZ_REQUIRE(run.start == static_cast<int>(at) && run.length >= 1);
    FUZZ_REQUIRE(run.attribute <= (ATTR_UNDERLINE | ATTR_BOLD));
    FUZZ_REQUIRE(run.x == run.start * char_width);
    if (r > 0) FUZZ_REQUIRE(run.attribute != runs[r - 1].attribute);
    for (int i = run.start; i < run.start + run.length; ++i) FUZZ_REQUIRE(decoded.attrs[i] == run.attribute);
    at += static_cast<std::size_t>(run.length);
  }
  FUZZ_REQUIRE(at == length);
}

// `line` holds at least `count` bytes; the decoder reads no more than those.
void CheckDecoded(const char* line, int count, int char_width) {
  // One decoded line and one set of runs for every line, as in the driver. Bytes
  // past the input's length are marked, as far as a 16-byte store could reach.
  static DecodedLine* const decoded = new DecodedLine;
  static TextRun* const runs = new TextRun[kLineCapacity];
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
  CheckRuns(*decoded, std::strlen(decoded->chars), char_width, runs, n);
  n = SplitRawRuns(*decoded, char_width, runs);
  CheckRuns(*decoded, static_cast<std::size_t>(length), char_width, runs, n);
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
  const int capacity = (data[0] & 2) ? 1 + data[1] % 32 : kLineCapacity;
  const int char_width = data[2];
  g_source = Source{};
  g_source.data = data + kHeader;
  g_source.size = size - kHeader;
  g_source.error_at_end = data[0] & 4;
  std::memcpy(g_source.chunks, data + 3, 4);

  // The report as the lines must give it back: carriage returns and form feeds
  // gone, each line feed as the last position of its line (itself in raw mode,
  // else NUL).
  std::string expected;
  std::size_t form_feeds = 0;
  for (std::size_t i = 0; i < g_source.size; ++i) {
    const char c = static_cast<char>(g_source.data[i]);
    if (c == '\f') ++form_feeds;
    if (c == '\r' || c == '\f') continue;
    expected += c == '\n' && !raw ? '\0' : c;
  }

  PrintJob job;
  job.raw = raw;
  job.file = 1;
  job.input.Reset();
  job.input.handle = job.file;
  std::unique_ptr<char[]> buffer(new char[capacity]);  // exactly the capacity the reader is told
  std::string lines;
  std::size_t form_feed_lines = 0;
  bool must_end = false;  // the last line ended with the data
  for (std::size_t calls = 0;; ++calls) {
    FUZZ_REQUIRE(calls <= g_source.size + 1);  // every line but the last takes at least a byte
    std::int32_t status = -1;
    const int count = GetLine(job, buffer.get(), capacity, &status);
    FUZZ_REQUIRE(status == CTL_NONE || status == CTL_FORM_FEED || status == CTL_EOF);
    FUZZ_REQUIRE(count >= 0 && count <= capacity - 1);
    FUZZ_REQUIRE(buffer[count] == '\0' && buffer[capacity - 1] == '\0');
    if (status == CTL_EOF) {
      FUZZ_REQUIRE(count == 0);
      break;
    }
    FUZZ_REQUIRE(!must_end);
    FUZZ_REQUIRE(count > 0 || status == CTL_FORM_FEED);
    const char* line = buffer.get();
    for (int k = 0; k < count; ++k) {
      FUZZ_REQUIRE(line[k] != '\r' && line[k] != '\f');
      if (line[k] == '\n') FUZZ_REQUIRE(raw && k == count - 1);
    }
    // A line cut short of a full buffer, with no line feed at its end and no form
    // feed after it, is the last one.
    if (status == CTL_NONE && count < capacity - 1 && line[count - 1] != (raw ? '\n' : '\0')) must_end = true;
    if (status == CTL_FORM_FEED) ++form_feed_lines;
    lines.append(line, static_cast<std::size_t>(count));
    if (count > 0) CheckDecoded(line, count, char_width);
  }
  if (capacity > 1) {
    FUZZ_REQUIRE(lines == expected);
    FUZZ_REQUIRE(form_feed_lines == form_feeds);
  } else {
    FUZZ_REQUIRE(lines.empty());  // no room for a position: the report ends at once
  }

  // The decoder takes any bytes, not only those the reader lets through.
  const int direct = static_cast<int>(std::min<std::size_t>(g_source.size, kLineCapacity - 1));
  if (direct > 0) {
    std::unique_ptr<char[]> copy(new char[direct]);
    std::memcpy(copy.get(), g_source.data, static_cast<std::size_t>(direct));
    CheckDecoded(copy.get(), direct, char_width);
  }
  return 0;
}
