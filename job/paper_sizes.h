// The paper-size table: Windows form names and the platform paper ids and sizes
// that the device mode takes for them.
#ifndef QUILLET_JOB_PAPER_SIZES_H
#define QUILLET_JOB_PAPER_SIZES_H

#include <cstdint>
#include <string>
#include <vector>

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

// The first row of paper id `id`; null without one.
const PaperSize* FindPaperById(std::int32_t id);

// A row's size in tenths of a millimetre, rounded to the nearest tenth.
std::int32_t PaperTenths(double mm);

// Whether two sizes in tenths of a millimetre lie within `tolerance` tenths of
// each other each way (compared in 64 bits: a job's sizes are any 32-bit value).
bool Near(std::int32_t a_width, std::int32_t a_length, std::int32_t b_width, std::int32_t b_length,
          std::int64_t tolerance);
// A size in tenths of a millimetre as "W x L mm", to one decimal.
std::string Millimetres(std::int32_t width, std::int32_t length);

// The row for a paper of `width` by `length` tenths of a millimetre, or null.
// A row matches when both its width and its length, rounded to tenths of a
// millimetre, lie within one tenth of the job's: lengths given in inches are
// truncated to whole tenths (8.27i reads as 2100, #10 envelope's 4.125i as
// 1047 against the row's 1047.75), and one tenth absorbs that. Only the
// portrait order (width first) matches. Of several rows of one size the first
// is taken (8.5i x 11i gives Letter, 210 x 297 mm gives A4).
const PaperSize* FindPaperBySize(std::int32_t width, std::int32_t length);

constexpr std::int16_t kUserPaper = 256;  // DMPAPER_USER: a size of the job's own

// A paper as a printer lists it: its id and its size in tenths of a millimetre.
struct PrinterPaper {
  std::int16_t id;
  std::int32_t width;
  std::int32_t length;
};

// The paper a job gets.
struct PaperChoice {
  bool asked = false;   // the job names a form of the table, or gives a width and a length
  std::int16_t id = 0;  // a paper id, or kUserPaper for `width` x `length`
  std::int32_t width = 0;   // tenths of a millimetre
  std::int32_t length = 0;
};

// Chooses the paper for a job's form name or size on a printer that lists
// `listed` (in its own order; null when the list cannot be had):
// - a form name of the table is that paper; a width and a length are the
//   table's paper of that size (of several, the first the printer lists, else
//   the first in the table), or else the size itself;
// - when the printer does not list that paper, the first paper it lists of the
//   same size (within 1 mm each way), a standard one before the driver's own,
//   or else the size as a user size.
// Without a list, the paper is taken as asked. A form name the table does not
// know, or a width or a length alone, asks for nothing here.
PaperChoice ChoosePaper(const char* form_id, std::int32_t width, std::int32_t length,
                        const std::vector<PrinterPaper>* listed);

// A paper for the trace: its table name, "paper <id>", or "user size W x L mm".
std::string PaperText(const PaperChoice& paper);
// What a job asks for, for the trace: its form name, or "W x L mm".
std::string AskedPaperText(const char* form_id, std::int32_t width, std::int32_t length);

}  // namespace quillet

#endif
