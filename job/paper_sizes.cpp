#include "job/paper_sizes.h"

#include <cmath>
#include <cstdio>

namespace quillet {

const PaperSize paper_sizes[kPaperSizeCount + 1] = {
    {16, "10 by 14 sheet", 254, 355.6},
    {17, "11 by 17 sheet", 279.4, 431.8},
    {8, "A3", 297, 420},
    {9, "A4", 210, 297},
    {10, "A4 small", 210, 297},
    {11, "A5", 148, 210},
    {12, "B4", 250, 354},
    {13, "B5", 182, 257},
    {24, "C", 431.8, 558.8},
    {25, "D", 558.8, 863.6},
    {20, "#10 envelope", 104.775, 241.3},
    {21, "#11 envelope", 114.3, 263.525},
    {22, "#12 envelope", 120.65, 279.4},
    {23, "#14 envelope", 127, 292.1},
    {19, "#9 envelope", 98.425, 225.425},
    {33, "B4 envelope", 250, 353},
    {34, "B5 envelope", 176, 250},
    {35, "B6 envelope", 176, 125},
    {29, "C3 envelope", 324, 458},
    {30, "C4 envelope", 229, 324},
    {28, "C5 envelope", 162, 229},
    {31, "C6 envelope", 114, 162},
    {32, "C65 envelope", 114, 229},
    {27, "DL envelope", 110, 220},
    {36, "Italy envelope", 110, 230},
    {37, "Monarch envelope", 98.425, 190.5},
    {38, "6 3/4 envelope", 92.075, 165.1},
    {26, "E", 863.6, 1117.6},
    {7, "Executive", 184.15, 266.7},
    {41, "German legal fanfold", 215.9, 330.2},
    {40, "German standard fanfold", 215.9, 304.8},
    {39, "U.S. standard fanfold", 376.555, 279.4},
    {14, "Folio", 215.9, 330.2},
    {4, "Ledger", 431.8, 279.4},
    {5, "Legal", 215.9, 355.6},
    {1, "Letter", 215.9, 279.4},
    {2, "Letter small", 215.9, 279.4},
    {18, "Note", 215.9, 279.4},
    {15, "Quarto", 215, 275},
    {6, "Statement", 139.7, 215.9},
    {3, "Tabloid", 279.4, 431.8},
    {0, nullptr, 0.0, 0.0},
};

namespace {

// Letter case is folded for A to Z only, so bytes above 0x7F never match
// another byte whatever the process locale says.
char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b)
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
  return *a == *b;
}

}  // namespace

const PaperSize* FindPaperByName(const char* form) {
  for (const PaperSize* row = paper_sizes; row->name != nullptr; ++row)
    if (EqualIgnoringAsciiCase(row->name, form)) return row;
  return nullptr;
}

std::int32_t PaperTenths(double mm) { return static_cast<std::int32_t>(std::lround(mm * 10.0)); }

bool Near(std::int32_t a_width, std::int32_t a_length, std::int32_t b_width, std::int32_t b_length,
          std::int64_t tolerance) {
  const std::int64_t dw = static_cast<std::int64_t>(a_width) - b_width;
  const std::int64_t dl = static_cast<std::int64_t>(a_length) - b_length;
  return dw >= -tolerance && dw <= tolerance && dl >= -tolerance && dl <= tolerance;
}

std::string Millimetres(std::int32_t width, std::int32_t length) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f x %.1f mm", width / 10.0, length / 10.0);
  return text;
}

namespace {

bool RowFits(const PaperSize& row, std::int32_t width, std::int32_t length) {
  return Near(width, length, PaperTenths(row.width_mm), PaperTenths(row.length_mm), 1);
}

}  // namespace

const PaperSize* FindPaperById(std::int32_t id) {
  for (const PaperSize* row = paper_sizes; row->name != nullptr; ++row)
    if (row->id == id) return row;
  return nullptr;
}

const PaperSize* FindPaperBySize(std::int32_t width, std::int32_t length) {
  for (const PaperSize* row = paper_sizes; row->name != nullptr; ++row)
    if (RowFits(*row, width, length)) return row;
  return nullptr;
}

PaperChoice ChoosePaper(const char* form_id, std::int32_t width, std::int32_t length,
                        const std::vector<PrinterPaper>* listed) {
  if (listed != nullptr && listed->empty()) listed = nullptr;  // a list of nothing tells nothing
  const PaperSize* row = nullptr;
  if (form_id[0] != '\0') {
    row = FindPaperByName(form_id);
    if (row == nullptr) return {};
  } else if (width != 0 && length != 0) {
    // Several rows may share the size: the first one the printer lists.
    for (std::size_t k = 0; listed != nullptr && row == nullptr && k < listed->size(); ++k) {
      const PaperSize* candidate = FindPaperById((*listed)[k].id);
      if (candidate != nullptr && RowFits(*candidate, width, length)) row = candidate;
    }
    if (row == nullptr) row = FindPaperBySize(width, length);
  } else {
    return {};
  }
  PaperChoice choice{true, kUserPaper, width, length};
  if (row != nullptr) {
    choice.id = static_cast<std::int16_t>(row->id);
    choice.width = PaperTenths(row->width_mm);
    choice.length = PaperTenths(row->length_mm);
  }
  if (listed == nullptr) return choice;
  for (const PrinterPaper& paper : *listed) {
    if (choice.id != kUserPaper && paper.id == choice.id) return choice;
  }
  // Not a paper of this printer's: one of its papers of the same size, a
  // standard one (an id below DMPAPER_USER) before the driver's own.
  for (bool standard : {true, false}) {
    for (const PrinterPaper& paper : *listed) {
      if (paper.id != kUserPaper && (paper.id > 0 && paper.id < kUserPaper) == standard &&
          Near(paper.width, paper.length, choice.width, choice.length, 10)) {
        choice.id = paper.id;
        return choice;
      }
    }
  }
  choice.id = kUserPaper;
  return choice;
}

std::string PaperText(const PaperChoice& paper) {
  if (paper.id == kUserPaper) return "user size " + Millimetres(paper.width, paper.length);
  if (const PaperSize* row = FindPaperById(paper.id)) return row->name;
  return "paper " + std::to_string(paper.id);
}

std::string AskedPaperText(const char* form_id, std::int32_t width, std::int32_t length) {
  return form_id[0] != '\0' ? std::string(form_id) : Millimetres(width, length);
}

}  // namespace quillet
