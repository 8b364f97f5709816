// Reading a line-printer report one line at a time, and decoding backspace
// overstrikes into characters with underline and bold attributes.
#ifndef QUILLET_REPORT_REPORT_READER_H
#define QUILLET_REPORT_REPORT_READER_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "job/print_job.h"

namespace quillet {

// An open report as the reader takes it: the file, how its text is read (the
// job's raw, oem and ansi options), and the read-ahead. The reader hands out
// one byte at a time but fetches the file in large blocks, so a report costs one
// read call per block. Whoever opens the file owns it and closes it.
struct ReportInput {
  static constexpr std::size_t kBlockSize = 64 * 1024;  // bytes asked of the file per read
  // Room in front of the data of `block`: a line that reads past its last
  // position before it knows that it is not UTF-8 gives those bytes back there.
  static constexpr std::size_t kGiveBack = 2048;
  // How the report's bytes are read, settled at its first line (GetLine).
  enum class Text : std::uint8_t { kUnknown, kBytes, kUtf16LE, kUtf16BE };

  std::int32_t file = 0;  // the open report file
  bool raw = false;       // a line feed stays in its line (job.raw)
  bool detect = true;     // a byte-order mark and UTF-8 are looked for: none of raw, oem, ansi

  std::unique_ptr<unsigned char[]> block;  // kGiveBack + kBlockSize, allocated at the first read
  std::size_t pos = 0;                     // next unread byte in block
  std::size_t end = 0;                     // bytes of block that hold data; when all are
                                           // used, the file is asked again
  Text text = Text::kUnknown;
  // A UTF-16 report's bytes as read, before they become UTF-8 in `block`.
  std::unique_ptr<unsigned char[]> wide;   // kBlockSize, allocated at the mark
  std::size_t wide_pos = 0;
  std::size_t wide_end = 0;

  // Reads `report` from its start, its text taken as the job's options say;
  // what was read ahead of another file is dropped.
  void Open(std::int32_t report, const PrintJob& job) {
    file = report;
    raw = job.raw != 0;
    detect = !job.raw && !job.oem && !job.ansi;
    pos = end = 0;
    text = Text::kUnknown;
    wide_pos = wide_end = 0;
  }
};

// Line status set by every GetLine call.
constexpr std::int32_t CTL_NONE = 0;       // ended by line feed, end of data or a full buffer
constexpr std::int32_t CTL_FORM_FEED = 1;  // ended by a form feed (may be empty)
constexpr std::int32_t CTL_EOF = 2;        // nothing stored and the data is at its end

// Attribute bits of a decoded character.
constexpr std::uint8_t ATTR_UNDERLINE = 1;
constexpr std::uint8_t ATTR_BOLD = 2;

constexpr int kLineCapacity = 512;                     // a decoded line: 511 characters + NUL
constexpr int kLinePositions = kLineCapacity - 1;      // positions of a line at most
constexpr int kLineTextSize = 4 * kLinePositions + 1;  // 511 characters of UTF-8 + NUL

// One line of a report, as GetLine returns it.
struct ReportLine {
  // The line's positions, NUL-terminated: one byte each, or, when `unicode` is
  // set, the UTF-8 of one character each. A line feed takes the last position,
  // as NUL or, with raw, as itself.
  char text[kLineTextSize];
  int count = 0;          // bytes of text before the terminator
  int positions = 0;      // characters: count, unless `unicode`
  bool unicode = false;   // text is UTF-8 with at least one character beyond ASCII
};

// Reads the next line of the report into `line` and returns its byte count (0
// when it holds no position); sets *status. Carriage returns are dropped; a form feed
// ends the line unstored; a line holds at most max_positions positions (a
// character is never split).
//
// How the bytes are read is settled at the report's first line. With raw, oem
// or ansi they are taken as they are. Otherwise a byte-order mark
// there is dropped, and it decides: UTF-16 (either byte order) is turned into
// UTF-8 before the line rules apply; after a UTF-8 mark, or with no mark, each
// line whose bytes are valid UTF-8 and hold a character beyond ASCII is a
// Unicode line, and every other line is bytes of the ANSI code page.
//
// The file is read ahead into `input`.
int GetLine(ReportInput& input, ReportLine& line, std::int32_t* status, int max_positions = kLinePositions);

struct DecodedLine {
  char chars[kLineCapacity];            // output characters, NUL-terminated
  std::uint8_t attrs[kLineCapacity];    // one attribute byte per character
  int length = 0;                       // output characters, NUL bytes among them included
};

// Decodes the first `count` bytes of an ANSI line from GetLine (count > 0):
//   c BS _        c underlined
//   c BS c        c bold
//   _ BS c        c underlined (the order text tools on Unix-like systems write)
//   BS m, BS w    a middle dot, as a character of its own
//   BS other      the backspace is dropped
// Marks on one position accumulate. The byte at
// `count` is not read but taken to be the NUL that GetLine puts there. attrs is
// cleared from 0 through `count` (every position the output and its terminator
// can take); what lies beyond is not part of the line and may or may not be
// cleared.
void DecodeLine(const char* line, int count, DecodedLine& out);

struct TextRun {
  int start;               // index of the first character in DecodedLine::chars
  int length;              // characters in the run (0 only for an empty line)
  std::uint8_t attribute;  // shared attribute byte
  int x;                   // its column * char_width, device units
};

// Splits a decoded line into runs of equal attribute, left to right; `runs` must
// hold kLineCapacity entries. Returns the number of runs (at least 1). The line
// ends at its first NUL: printed text stops there. A character's column is its
// index, but that a tab is not drawn: it ends the run before it, and the next
// character starts at the next tab stop (text/characters.h).
int SplitRuns(const DecodedLine& line, int char_width, TextRun* runs);

// The same over all line.length characters, NUL bytes and tabs included: the
// runs of a raw line, whose every byte goes to the printer.
int SplitRawRuns(const DecodedLine& line, int char_width, TextRun* runs);

// Columns of a decoded ANSI line up to its first NUL (one per byte, a tab to the
// next stop), counted to the end of its last character that is not a blank or
// a tab: what must fit across the page.
int InkedColumns(const DecodedLine& line);

// A decoded Unicode line: its characters in UTF-8, one attribute per character.
// LayOutLine (text/line_layout.h) puts it on the grid.
struct UnicodeLine {
  char text[kLineTextSize];             // the characters, NUL-terminated (a NUL character is a zero byte)
  std::uint8_t attrs[kLineCapacity];    // one attribute byte per character
  int length = 0;                       // characters, NUL characters among them included
  int bytes = 0;                        // bytes of text before its terminator
  bool plain = false;                   // no attribute set
};

// Decodes the first `count` bytes of a Unicode line from GetLine (UTF-8) with the
// overstrikes of DecodeLine applied to characters: "é", backspace, "é" is a bold
// "é". The middle dot is U+00B7. Never more characters come out than went in,
// and never more than 511. attrs is cleared through the terminator's position.
// Characters begin where CountCharacters (report_text.h) says, which for valid
// UTF-8 (all that GetLine gives) is where its characters begin.
// `characters` is the line's character count (ReportLine::positions).
void DecodeUnicodeLine(const char* text, int count, int characters, UnicodeLine& out);

}  // namespace quillet

#endif
