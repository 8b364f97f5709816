// The paper-size table: Windows form names and the platform paper ids and sizes
// that the device mode takes for them.
#ifndef QUILLET_JOB_PAPER_SIZES_H
#define QUILLET_JOB_PAPER_SIZES_H

#include <cstdint>

namespace quillet {

struct PaperSize {
  std::int32_t id;    // platform paper id (DMPAPER_*); only its low 16 bits reach the device
  const char* name;   // form name
  double width_mm;
  double length_mm;
};

constexpr int kPaperSizeCount = 41;

// The 41 papers, followed by a terminating row (id 0, no name, sizes 0.0).
extern const PaperSize paper_sizes[kPaperSizeCount + 1];

// The first row whose name equals `form`, ignoring the case of the letters A to Z
// only; null without one.
const PaperSize* FindPaperByName(const char* form);

// A row's size in tenths of a millimetre, rounded to the nearest tenth.
std::int32_t PaperTenths(double mm);

// The row for a paper of `width` by `length` tenths of a millimetre, or null.
// A row matches when both its width and its length, rounded to tenths of a
// millimetre, lie within one tenth of the job's: lengths given in inches are
// truncated to whole tenths (8.27i reads as 2100, #10 envelope's 4.125i as
// 1047 against the row's 1047.75), and one tenth absorbs that. Only the
// portrait order (width first) matches. The table is scanned to its end and the
// last matching row is kept, so sizes that several rows share resolve to the
// latest of them (8.5i x 11i gives Note, 210 x 297 mm gives A4 small).
const PaperSize* FindPaperBySize(std::int32_t width, std::int32_t length);

}  // namespace quillet

#endif
