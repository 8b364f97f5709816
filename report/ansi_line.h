// Lines in the ANSI code page that hold more than one spacing character per byte
// can tell: Hebrew and Arabic letters, which read right to left, and the marks
// of Thai and Vietnamese, which sit on the letter before them. What older Java
// writes by default on such systems.
#ifndef QUILLET_REPORT_ANSI_LINE_H
#define QUILLET_REPORT_ANSI_LINE_H

#include "report/report_reader.h"

namespace quillet {

// When a decoded ANSI line (up to its first NUL) holds a byte whose character
// in the report's code page (ReportAnsiCodePage) is anything but a spacing
// character that the usual text call draws as it is, its characters as a
// Unicode line, each with its attribute, in `out`, and true: the line is laid
// out as every Unicode line is. False for any other line, and for every line of
// a code page that spells characters in two bytes: those print byte for byte.
bool AnsiLineAsUnicode(const DecodedLine& line, UnicodeLine& out);

}  // namespace quillet

#endif
