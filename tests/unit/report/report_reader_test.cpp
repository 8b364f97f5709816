#include "report/report_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/file.h"
#include "report/report_text.h"
#include "trace/trace.h"

namespace quillet {
namespace {

using namespace std::string_literals;

class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    char path[] = "/tmp/quillet-reader-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    path_ = path;
  }
  ~TempFile() { unlink(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

struct Line {
  std::string bytes;  // the `count` bytes returned
  std::int32_t status;
  bool unicode = false;
  bool operator==(const Line& o) const { return bytes == o.bytes && status == o.status && unicode == o.unicode; }
};
std::ostream& operator<<(std::ostream& os, const Line& l) {
  return os << testing::PrintToString(l.bytes) << "/" << l.status << (l.unicode ? "/unicode" : "");
}

// Reads lines up to CTL_EOF, checking the terminator and the counts of every line.
std::vector<Line> ReadAll(ReportInput& input) {
  std::vector<Line> lines;
  for (int guard = 0; guard < 100000; ++guard) {
    ReportLine line;
    std::memset(line.text, '#', sizeof line.text);
    std::int32_t status = -1;
    int count = GetLine(input, line, &status);
    EXPECT_EQ(count, line.count);
    EXPECT_TRUE(line.positions >= 0 && line.positions <= kLinePositions);
    EXPECT_EQ(line.text[count], '\0');
    if (status == CTL_EOF) {
      EXPECT_EQ(count, 0);
      return lines;
    }
    // A character is a position: one byte each, or one UTF-8 sequence each.
    int starts = 0;
    for (int k = 0; k < count; ++k) starts += (line.text[k] & 0xC0) != 0x80 || !line.unicode;
    EXPECT_EQ(line.positions, starts);
    lines.push_back({std::string(line.text, count), status, line.unicode});
  }
  ADD_FAILURE() << "no CTL_EOF";
  return lines;
}

std::vector<Line> ReadFile(const std::string& bytes, bool raw) {
  TempFile report(bytes);
  PrintJob job;
  job.raw = raw;
  ReportInput input;
  input.Open(ReportOpen(report.path()), job);
  EXPECT_NE(input.file, kReportOpenError);
  std::vector<Line> lines = ReadAll(input);
  ReportClose(input.file);
  return lines;
}

const std::string k511(511, 'x');

TEST(GetLine, SplitsReportsIntoLinesAndPages) {
  const std::int32_t N = CTL_NONE, F = CTL_FORM_FEED;
  struct Case {
    const char* name;
    std::string input;
    bool raw;
    std::vector<Line> lines;
  } cases[] = {
      {"empty file", "", false, {}},
      {"no final line feed", "abc", false, {{"abc", N}}},
      {"CR LF", "abc\r\n", false, {{"abc\0"s, N}}},
      {"CR LF raw", "abc\r\n", true, {{"abc\n", N}}},
      {"lone line feed", "\n", false, {{"\0"s, N}}},
      {"form feed after CRs", "\r\r\fx\n", false, {{"", F}, {"x\0"s, N}}},
      {"form feed mid-line", "abc\fdef\n", false, {{"abc", F}, {"def\0"s, N}}},
      {"CRs alone", "\r\r", false, {}},
      {"CRs inside a line", "a\rb\r\rc", false, {{"abc", N}}},
      {"other control bytes kept", "a\0\x1b\b_\x01\n"s, false, {{"a\0\x1b\b_\x01\0"s, N}}},
      {"511 then line feed", k511 + "\n", false, {{k511, N}, {"\0"s, N}}},
      {"511 then CR LF", k511 + "\r\n", false, {{k511, N}, {"\0"s, N}}},
      {"511 then form feed", k511 + "\fz", false, {{k511, N}, {"", F}, {"z", N}}},
      {"510 and line feed fill 511", std::string(510, 'y') + "\r\n", true,
       {{std::string(510, 'y') + "\n", N}}},
      {"over-long line", std::string(1000, 'q') + "\n", false,
       {{std::string(511, 'q'), N}, {std::string(489, 'q') + "\0"s, N}}},
      {"CRs take no position", [] { std::string s; for (int i = 0; i < 600; ++i) s += "a\r"; return s + "\n"; }(),
       false, {{std::string(511, 'a'), N}, {std::string(89, 'a') + "\0"s, N}}},
  };
  char trace_path[] = "/tmp/quillet-trace-XXXXXX";
  close(mkstemp(trace_path));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenTraceFile(trace_path);
    EXPECT_EQ(ReadFile(c.input, c.raw), c.lines);
    // Exactly one trace line, for the final CTL_EOF.
    std::ifstream trace(trace_path);
    std::string first, second;
    std::getline(trace, first);
    EXPECT_EQ(first.rfind("GetLine: found EOF - GetLastError() = ", 0), 0u) << first;
    EXPECT_FALSE(std::getline(trace, second)) << second;
  }
  ResetTraceForTesting();
  unlink(trace_path);
}


// Scripted reads for the seam: each call takes the next chunk; past the script, -1.
std::vector<std::string> g_chunks;
std::size_t g_next_chunk = 0;
std::vector<unsigned> g_read_sizes;

long ScriptedRead(std::int32_t, void* buffer, unsigned size) {
  g_read_sizes.push_back(size);
  if (g_next_chunk == g_chunks.size()) return -1;
  const std::string& chunk = g_chunks[g_next_chunk++];
  std::memcpy(buffer, chunk.data(), std::min<std::size_t>(chunk.size(), size));
  return static_cast<long>(chunk.size());
}

long CountingRead(std::int32_t handle, void* buffer, unsigned size) {
  g_read_sizes.push_back(size);
  return ReportRead(handle, buffer, size);
}

// UTF-16 bytes of `text`, in either byte order.
std::string Utf16(std::u16string_view text, bool big_endian) {
  std::string bytes;
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

std::string Times(int n, const std::string& piece) {
  std::string out;
  for (int k = 0; k < n; ++k) out += piece;
  return out;
}

TEST(GetLine, ReadsUnicodeLinesAsUtf8AndOtherLinesAsBytes) {
  const std::int32_t N = CTL_NONE, F = CTL_FORM_FEED;
  const bool U = true;
  const std::string e = u8"é", long_line = Times(300, e);
  struct Case {
    const char* name;
    std::string input;
    std::vector<Line> lines;
    bool raw = false, oem = false;
  } cases[] = {
      {"UTF-8 line", u8"Grüße – 12,50 €\r\nplain\n", {{u8"Grüße – 12,50 €\0"s, N, U}, {"plain\0"s, N}}},
      {"code page 1252", "Gr\xFC\xDF" "e \x80\n", {{"Gr\xFC\xDF" "e \x80\0"s, N}}},
      {"UTF-8, then a byte that is not", e + "\xE9\n", {{e + "\xE9\0"s, N}}},
      {"overlong, surrogate, beyond U+10FFFF", "\xC0\xAF\n\xED\xA0\x80\f\xF4\x90\x80\x80",
       {{"\xC0\xAF\0"s, N}, {"\xED\xA0\x80", F}, {"\xF4\x90\x80\x80", N}}},
      {"character cut by the line's end", "\xC3\n\xC3\f\xC3", {{"\xC3\0"s, N}, {"\xC3", F}, {"\xC3", N}}},
      {"UTF-8 mark", "\xEF\xBB\xBF" + e + "\nx\n", {{e + "\0"s, N, U}, {"x\0"s, N}}},
      {"UTF-16LE: zero bytes are no NUL, U+0000 is", Utf16(u"\uFEFFé\r\n\fx\0y"s, false),
       {{e + "\0"s, N, U}, {"", F}, {"x\0y"s, N}}},
      {"UTF-16BE: a pair, lone surrogates, an odd byte", Utf16(u"\uFEFF😀\xDC00" u"a\xD800"s, true) + "\x0A",
       {{u8"😀\uFFFDa\uFFFD\uFFFD", N, U}}},
      {"-oem: bytes as they are", "\xEF\xBB\xBF" + e + "\n", {{"\xEF\xBB\xBF" + e + "\0"s, N}}, false, true},
      {"-raw: bytes as they are", "\xFF\xFE" + e + "\n", {{"\xFF\xFE" + e + "\n", N}}, true},
      {"511 characters, the last of two bytes", std::string(510, 'a') + e + "\n",
       {{std::string(510, 'a') + e, N, U}, {"\0"s, N}}},
      {"511 characters of two, three and four bytes", Times(170, u8"é€😀") + "x" + "yz\n",
       {{Times(170, u8"é€😀") + "x", N, U}, {"yz\0"s, N}}},
      {"a long UTF-8 line", long_line + "\n", {{long_line + "\0"s, N, U}}},
      {"a long line that breaks UTF-8 late keeps 511 bytes", long_line + "\xE9\n",
       {{long_line.substr(0, 511), N}, {long_line.substr(511) + "\xE9\0"s, N}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PrintJob job;
    job.raw = c.raw;
    job.oem = c.oem;
    TempFile report(c.input);
    ReportInput input;
    input.Open(ReportOpen(report.path()), job);
    EXPECT_EQ(ReadAll(input), c.lines);
    ReportClose(input.file);
    // The same a byte per read: marks, UTF-16 units and characters split between reads.
    g_chunks.clear();
    for (char byte : c.input) g_chunks.push_back(std::string(1, byte));
    g_chunks.push_back("");
    g_next_chunk = 0;
    ReportReadFunction previous = SetReportReadForTesting(ScriptedRead);
    ReportInput by_bytes;
    by_bytes.Open(5, job);
    EXPECT_EQ(ReadAll(by_bytes), c.lines);
    SetReportReadForTesting(previous);
  }
}

TEST(GetLine, ReadsTheFileInBlocksOf64KiB) {
  std::string report;
  std::vector<Line> expected;
  for (int i = 0; report.size() < 200000; ++i) {
    std::string text = "line " + std::to_string(i) + std::string(i % 97, '-');
    report += text + "\r\n";
    expected.push_back({text + "\0"s, CTL_NONE});
  }
  g_read_sizes.clear();
  ReportReadFunction previous = SetReportReadForTesting(CountingRead);
  EXPECT_EQ(ReadFile(report, false), expected);  // lines that straddle blocks included
  SetReportReadForTesting(previous);
  // One call per block, and one more that finds the end.
  EXPECT_EQ(g_read_sizes.size(), (report.size() + 65535) / 65536 + 1);
  for (unsigned size : g_read_sizes) EXPECT_GE(size, 64u * 1024);
}

// Byte-at-a-time model of the reader, for comparing on random data.
std::vector<Line> ReadByBytes(const std::string& data, bool raw) {
  std::vector<Line> lines;
  std::size_t i = 0;
  for (;;) {
    Line line{"", CTL_NONE};
    while (line.bytes.size() < kLineCapacity - 1 && i < data.size()) {
      char b = data[i++];
      if (b == '\f') { line.status = CTL_FORM_FEED; break; }
      if (b == '\r') continue;
      if (b == '\n') { line.bytes += raw ? '\n' : '\0'; break; }
      line.bytes += b;
    }
    if (line.bytes.empty() && line.status == CTL_NONE) return lines;
    lines.push_back(line);
  }
}

TEST(GetLine, MatchesByteAtATimeReadingOverShortReads) {
  std::srand(12345);
  const char alphabet[] = "ab\r\n\f\b_\0";
  for (int round = 0; round < 200; ++round) {
    std::string data;
    int length = std::rand() % 3000;
    bool long_lines = round % 4 == 0;  // few line ends: exercises the 511 limit
    for (int k = 0; k < length; ++k) {
      data += long_lines && std::rand() % 400 ? 'x' : alphabet[std::rand() % (sizeof alphabet - 1)];
    }
    g_chunks.clear();
    for (std::size_t at = 0; at < data.size();) {
      std::size_t n = 1 + std::rand() % 700;
      g_chunks.push_back(data.substr(at, n));
      at += n;
    }
    g_chunks.push_back("");  // then the end of the data
    g_next_chunk = 0;
    ReportReadFunction previous = SetReportReadForTesting(ScriptedRead);
    PrintJob job;
    job.raw = round % 2;
    ReportInput input;
    input.Open(3, job);
    EXPECT_EQ(ReadAll(input), ReadByBytes(data, job.raw)) << "round " << round;
    SetReportReadForTesting(previous);
  }
}

TEST(GetLine, ReadErrorEndsTheData) {
  g_chunks = {"ab\ncd"};
  g_next_chunk = 0;
  ReportReadFunction previous = SetReportReadForTesting(ScriptedRead);
  ReportInput input;
  input.Open(7, PrintJob{});
  std::vector<Line> expected = {{"ab\0"s, CTL_NONE}, {"cd", CTL_NONE}};
  EXPECT_EQ(ReadAll(input), expected);
  SetReportReadForTesting(previous);
}

TEST(GetLine, NoRoomForAPositionEndsTheReport) {
  TempFile report("abc\n");
  char trace_path[] = "/tmp/quillet-trace-XXXXXX";
  close(mkstemp(trace_path));
  OpenTraceFile(trace_path);
  ReportInput input;
  input.Open(ReportOpen(report.path()), PrintJob{});
  ReportLine report_line;
  report_line.text[0] = '#';
  std::int32_t status = -1;
  EXPECT_EQ(GetLine(input, report_line, &status, 0), 0);
  EXPECT_EQ(status, CTL_EOF);
  EXPECT_EQ(report_line.text[0], '\0');
  ReportClose(input.file);
  ResetTraceForTesting();
  std::ifstream trace(trace_path);
  std::string line;
  std::getline(trace, line);
  EXPECT_EQ(line.rfind("GetLine: found EOF - GetLastError() = ", 0), 0u) << line;
  unlink(trace_path);
}

TEST(GetLine, NewFileDropsTheReadAheadOfTheLastReport) {
  TempFile first("\xFF\xFEo\0n\0e\0\n\0t\0w\0o\0\n\0"s), second("three\n");
  ReportInput input;
  input.Open(ReportOpen(first.path()), PrintJob{});
  ReportLine line;
  std::int32_t status;
  EXPECT_EQ(GetLine(input, line, &status), 4);
  const std::int32_t other = input.file;
  input.Open(ReportOpen(second.path()), PrintJob{});
  EXPECT_EQ(ReadAll(input), (std::vector<Line>{{"three\0"s, CTL_NONE}}));
  ReportClose(input.file);
  ReportClose(other);
}


TEST(DecodeLine, CombinesOverstrikes) {
  const std::uint8_t U = ATTR_UNDERLINE, B = ATTR_BOLD;
  struct Case {
    std::string input;
    std::string chars;  // the decoded characters (the NUL after them is checked too)
    std::vector<std::uint8_t> attrs;
  } cases[] = {
      {"plain", "plain", {0, 0, 0, 0, 0}},
      {"A\b_", "A", {U}},
      {"A\bA", "A", {B}},
      {"A\bB", "AB", {0, 0}},
      {"\b_x", "x", {0}},
      {"\bm", "\xB7", {0}},
      {"x\bw", "x\xB7", {0, 0}},
      {"ab\b", "ab", {0, 0}},          // trailing backspace dropped
      {"_\b_", "_", {U}},              // underline wins the tie
      {"m\bm", "m", {B}},              // bold wins over the dot
      {"A\b_\bA", "A", {U | B}},
      {"A\bA\b_", "A", {U | B}},
      {"a\b\b_", "a", {U}},            // first backspace dropped, second marks
      {"x\b_yz\bz", "xyz", {U, 0, B}},
      {"ab\0"s, "ab\0"s, {0, 0, 0}},   // the line feed's NUL is copied
      // Underscore first, as man pages come: the character replaces the underscore.
      {"_\bO_\bP", "OP", {U, U}},
      {"[_\bO\bO]", "[O]", {0, U | B, 0}},
      {"_\bm", "m", {U}},              // before the dot
      {"_\b\0"s, "_\0"s, {0, 0}},      // the line's own end is no character
      {"_\b\n", "_\n", {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    DecodedLine out;
    std::memset(static_cast<void*>(&out), 0xFF, sizeof out);  // leftovers of an earlier line
    DecodeLine(c.input.data(), static_cast<int>(c.input.size()), out);
    EXPECT_EQ(std::string(out.chars, c.chars.size()), c.chars);
    EXPECT_EQ(out.chars[c.chars.size()], '\0');
    EXPECT_EQ(out.length, static_cast<int>(c.chars.size()));
    std::vector<std::uint8_t> attrs(out.attrs, out.attrs + c.attrs.size());
    EXPECT_EQ(attrs, c.attrs);
    // Cleared from the end of the output through the terminator's position.
    for (std::size_t k = c.attrs.size(); k <= c.chars.size(); ++k) EXPECT_EQ(out.attrs[k], 0) << k;
  }
}

template <class Text>
struct Decoded {
  Text chars;
  std::vector<std::uint8_t> attrs;
};

// The decoding rules applied one character at a time (a byte of an ANSI line, a
// code point of a Unicode one), for comparing on random lines.
template <class Text>
Decoded<Text> DecodeByCharacters(const Text& line) {
  using Char = typename Text::value_type;
  const Char nul = 0, underscore = '_', backspace = '\b';
  Decoded<Text> d;
  for (std::size_t i = 0; i < line.size();) {
    Char b = line[i];
    Char n = i + 1 < line.size() ? line[i + 1] : nul;
    bool has_prev = !d.chars.empty();
    if (b != backspace) {
      d.chars += b, d.attrs.push_back(0), i += 1;
    } else if (n == underscore) {
      if (has_prev) d.attrs.back() |= ATTR_UNDERLINE;
      i += 2;
    } else if (has_prev && n == d.chars.back()) {
      d.attrs.back() |= ATTR_BOLD, i += 2;
    } else if (has_prev && d.chars.back() == underscore && i + 1 < line.size() && n != nul && n != Char('\n') &&
               n != backspace) {
      d.chars.back() = n, d.attrs.back() |= ATTR_UNDERLINE, i += 2;
    } else if (n == Char('m') || n == Char('w')) {
      d.chars += static_cast<Char>(0xB7), d.attrs.push_back(0), i += 2;  // a middle dot
    } else {
      i += 1;
    }
  }
  return d;
}

TEST(DecodeLine, MatchesByteAtATimeDecodingOnRandomLines) {
  std::srand(777);
  const char alphabet[] = "aAm_w\n\b\b\b\0";
  for (int round = 0; round < 2000; ++round) {
    std::string line;
    int length = 1 + std::rand() % 100;
    for (int k = 0; k < length; ++k) line += alphabet[std::rand() % (sizeof alphabet)];
    Decoded<std::string> want = DecodeByCharacters(line);
    DecodedLine out;
    DecodeLine(line.data(), length, out);
    ASSERT_EQ(std::string(out.chars, want.chars.size() + 1), want.chars + '\0') << line;
    ASSERT_EQ(std::vector<std::uint8_t>(out.attrs, out.attrs + want.attrs.size()), want.attrs) << line;
  }
}

TEST(DecodeUnicodeLine, CombinesOverstrikesOnCharacters) {
  const std::uint8_t U = ATTR_UNDERLINE, B = ATTR_BOLD;
  struct Case {
    std::string input;
    std::string text;  // the decoded characters, UTF-8
    std::vector<std::uint8_t> attrs;
  } cases[] = {
      {u8"é\bé ü\b_ _\bñ", u8"é ü ñ", {B, 0, U, 0, U}},
      {u8"€\b€\b_😀\b😀x\bw", u8"€😀x·", {U | B, B, 0, 0}},
      {u8"é\bè\0\b\0"s, u8"éè\0"s, {0, 0, B}},  // the NUL after the line's end
      {std::string(600, 'x'), std::string(511, 'x'), std::vector<std::uint8_t>(511)},  // never past 511
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    UnicodeLine out;
    std::memset(static_cast<void*>(&out), 0xFF, sizeof out);
    DecodeUnicodeLine(c.input.data(), static_cast<int>(c.input.size()),
                      CountCharacters(c.input.data(), static_cast<int>(c.input.size())), out);
    EXPECT_EQ(std::string(out.text, c.text.size() + 1), c.text + '\0');
    EXPECT_EQ(out.bytes, static_cast<int>(c.text.size()));
    EXPECT_EQ(out.length, static_cast<int>(c.attrs.size()));
    std::vector<std::uint8_t> attrs = c.attrs;
    attrs.push_back(0);  // the terminator's position is cleared too
    EXPECT_EQ(std::vector<std::uint8_t>(out.attrs, out.attrs + attrs.size()), attrs);
  }
}

TEST(DecodeUnicodeLine, MatchesCharacterAtATimeDecodingOnRandomLines) {
  std::srand(778);
  // Pieces of a line: their UTF-8, and the characters they are.
  const std::pair<std::string, std::u32string> pieces[] = {
      {"a", U"a"}, {"m", U"m"}, {"_", U"_"}, {"w", U"w"}, {"\n", U"\n"}, {"\b", U"\b"}, {"\b", U"\b"},
      {"\0"s, U"\0"s}, {u8"é", U"é"}, {u8"€", U"€"}, {u8"😀", U"😀"}, {"abcdefghijklmnopq", U"abcdefghijklmnopq"}};
  std::map<char32_t, std::string> utf8;
  for (const auto& piece : pieces) {
    if (piece.second.size() == 1) utf8[piece.second[0]] = piece.first;
  }
  utf8[U'\u00B7'] = u8"·";
  for (int round = 0; round < 2000; ++round) {
    std::string line;
    std::u32string chars;
    const std::size_t length = 1 + std::rand() % 300;
    while (chars.size() < length) {
      const auto& piece = pieces[std::rand() % (sizeof pieces / sizeof pieces[0])];
      line += piece.first;
      chars += piece.second;
    }
    const Decoded<std::u32string> want = DecodeByCharacters(chars);
    std::string want_text;
    for (char32_t c : want.chars) want_text += c >= U'a' && c <= U'q' ? std::string(1, static_cast<char>(c)) : utf8[c];
    UnicodeLine out;
    DecodeUnicodeLine(line.data(), static_cast<int>(line.size()), static_cast<int>(chars.size()), out);
    ASSERT_EQ(std::string(out.text, out.bytes), want_text) << line;
    ASSERT_EQ(out.length, static_cast<int>(want.chars.size())) << line;
    ASSERT_EQ(std::vector<std::uint8_t>(out.attrs, out.attrs + want.attrs.size()), want.attrs) << line;
  }
}

TEST(SplitRuns, GroupsEqualAttributesOnTheGrid) {
  struct Case {
    std::string input;  // a line as GetLine returns it, decoded first
    int char_width;
    std::vector<std::vector<int>> runs;  // start, length, attribute, x
  } cases[] = {
      {"AB\b_C", 50, {{0, 1, 0, 0}, {1, 1, 1, 50}, {2, 1, 0, 100}}},
      {"\0"s, 50, {{0, 0, 0, 0}}},                 // empty line: one empty run
      {"_\b_\0"s, 7, {{0, 1, 1, 0}}},
      {"ab\0cd\b_"s, 10, {{0, 2, 0, 0}}},          // nothing after an embedded NUL
      {[] {  // 20 bold letters, the 14th underlined too: runs end inside 8-byte words
         std::string s;
         for (char ch = 'a'; ch < 'a' + 20; ++ch) s += std::string{ch, '\b', ch} + (ch == 'n' ? "\b_" : "");
         return s;
       }(), 3, {{0, 13, 2, 0}, {13, 1, 3, 39}, {14, 6, 2, 42}}},
      {std::string(511, 'w'), 2, {{0, 511, 0, 0}}},
      // A tab is not drawn: the next character starts at the next multiple of 8.
      {"ab\tc\0"s, 10, {{0, 2, 0, 0}, {3, 1, 0, 80}}},
      {"1234567\tx\t\ty"s, 1, {{0, 7, 0, 0}, {8, 1, 0, 8}, {11, 1, 0, 24}}},
      {std::string(20, 'x') + "\t" + std::string(30, 'x') + "B\bB\tz", 1,
       {{0, 20, 0, 0}, {21, 30, 0, 24}, {51, 1, 2, 54}, {53, 1, 0, 56}}},  // past the first 16 bytes too
      {"\t\t\0"s, 10, {{0, 0, 0, 0}}},              // tabs alone: one empty run
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    TextRun runs[kLineCapacity];
    DecodedLine line;
    DecodeLine(c.input.data(), static_cast<int>(c.input.size()), line);
    const int n = SplitRuns(line, c.char_width, runs);
    std::vector<std::vector<int>> got;
    for (int i = 0; i < n; ++i) got.push_back({runs[i].start, runs[i].length, runs[i].attribute, runs[i].x});
    EXPECT_EQ(got, c.runs);
  }
}

TEST(SplitRawRuns, CoverEveryDecodedByteNulIncluded) {
  DecodedLine line;
  const std::string raw = "\x1b\0z\bz\0\n"s;
  DecodeLine(raw.data(), static_cast<int>(raw.size()), line);
  TextRun runs[kLineCapacity];
  const int n = SplitRawRuns(line, 10, runs);
  std::vector<std::vector<int>> got;
  for (int i = 0; i < n; ++i) got.push_back({runs[i].start, runs[i].length, runs[i].attribute, runs[i].x});
  EXPECT_EQ(got, (std::vector<std::vector<int>>{{0, 2, 0, 0}, {2, 1, 2, 20}, {3, 2, 0, 30}}));
}

TEST(SplitRuns, EmptyLineTakesTheAttributeAtPositionZero) {
  DecodedLine line = {};
  line.attrs[0] = ATTR_BOLD;
  TextRun run;
  ASSERT_EQ(SplitRuns(line, 10, &run), 1);
  EXPECT_EQ(run.attribute, ATTR_BOLD);
  EXPECT_EQ(run.length, 0);
}

TEST(SplitRuns, EveryCharacterItsOwnRun) {
  DecodedLine line = {};
  std::memset(line.chars, 'x', kLineCapacity - 1);
  for (int k = 0; k < kLineCapacity - 1; ++k) line.attrs[k] = k % 4;
  std::vector<TextRun> runs(kLineCapacity);
  ASSERT_EQ(SplitRuns(line, 5, runs.data()), 511);
  EXPECT_EQ(runs[510].start, 510);
  EXPECT_EQ(runs[510].attribute, 2);
  EXPECT_EQ(runs[510].x, 2550);
}

}  // namespace
}  // namespace quillet
