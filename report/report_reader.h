// Reading a line-printer report one line at a time, and decoding backspace
// overstrikes into characters with underline and bold attributes.
#ifndef QUILLET_REPORT_REPORT_READER_H
#define QUILLET_REPORT_REPORT_READER_H

#include <cstdint>

#include "job/print_job.h"

namespace quillet {

// Line status set by every GetLine call.
constexpr std::int32_t CTL_NONE = 0;       // ended by line feed, end of data or a full buffer
constexpr std::int32_t CTL_FORM_FEED = 1;  // ended by a form feed (may be empty)
constexpr std::int32_t CTL_EOF = 2;        // nothing stored and the data is at its end

// Attribute bits of a decoded character.
constexpr std::uint8_t ATTR_UNDERLINE = 1;
constexpr std::uint8_t ATTR_BOLD = 2;

constexpr int kLineCapacity = 512;  // the driver's line buffer: 511 positions + NUL

// Reads the next line of job.file into buffer (capacity bytes) and returns the
// number of positions stored (at most capacity - 1); sets *status. A line feed
// takes the last position, as NUL or, with job.raw, as itself; carriage returns
// are dropped; a form feed ends the line unstored. buffer[count] and
// buffer[capacity - 1] are NUL. The file is read ahead into job.input, so the
// code that opens a report calls job.input.Reset() with the new handle.
int GetLine(PrintJob& job, char* buffer, int capacity, std::int32_t* status);

struct DecodedLine {
  char chars[kLineCapacity];            // output characters, NUL-terminated
  std::uint8_t attrs[kLineCapacity];    // one attribute byte per character
  int length = 0;                       // output characters, NUL bytes among them included
};

// Decodes the first `count` bytes of a line from GetLine (count > 0):
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
  int x;                   // start * char_width, device units
};

// Splits a decoded line into runs of equal attribute, left to right; `runs` must
// hold kLineCapacity entries. Returns the number of runs (at least 1). The line
// ends at its first NUL: printed text stops there.
int SplitRuns(const DecodedLine& line, int char_width, TextRun* runs);

// The same over all line.length characters, NUL bytes included: the runs of a
// raw line, whose every byte goes to the printer.
int SplitRawRuns(const DecodedLine& line, int char_width, TextRun* runs);

}  // namespace quillet

#endif
