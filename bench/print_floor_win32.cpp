// The least GDI work that prints a report as the library lays it out: the yardstick
// that quillet-print's whole-process time is measured against (bench/RESULTS.md).
//
// It reads the report with the library's own reader and grid layout, then makes
// only the calls that put those runs on paper: the printer's device context, the
// four fonts the library makes (the context's face at the given pitch, normal,
// underlined, bold, bold underlined), the document and its pages, a font
// selection where a run's font differs from the one before, and one text call
// per run with one advance per character. No cancel dialog, no abort procedure,
// no trace, no text call for a run that draws nothing. Pages break where the
// library breaks them: a form feed, a full page, no blank page for a form feed
// that opens the report or follows a full page.
//
// Usage: print_floor [--plain] PRINTER PITCH REPORT [OUTPUT]
// With OUTPUT the printer's driver writes the document to that file instead of
// the queue. With --plain the runs go without width arrays (TextOutA, and
// ExtTextOutW without advances), each glyph at the font's own advance: what the
// width arrays cost the platform. The pages and the grid go to standard error
// at the end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "job/print_job.h"
#include "platform/file.h"
#include "platform/handles_win32.h"
#include "print/print_driver.h"
#include "report/pager.h"
#include "text/characters.h"
#include "text/line_layout.h"
#include "report/report_reader.h"

namespace {

using UniqueDc = quillet::UniqueWin32<HDC, &::DeleteDC>;
using UniqueFont = quillet::UniqueWin32<HFONT, &::DeleteObject>;

class ReportFile {
 public:
  explicit ReportFile(const char* path) : handle_(quillet::ReportOpen(path)) {}
  ~ReportFile() {
    if (ok()) quillet::ReportClose(handle_);
  }
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  bool ok() const { return handle_ != quillet::kReportOpenError; }
  std::int32_t get() const { return handle_; }

 private:
  std::int32_t handle_;
};

class Floor {
 public:
  // The fonts go after the context (declared before it): none is selected then.
  UniqueFont fonts[4];  // normal, underlined, bold, bold underlined
  UniqueDc dc;
  quillet::ReportFonts by_attribute;
  HGDIOBJ selected = nullptr;
  int char_width = 0;
  int line_height = 0;
  int lines_per_page = 0;
  int pages = 0;
  bool plain = false;  // no width arrays
  std::vector<int> ansi_advances;
  std::vector<int> wide_advances;

  bool MakeFonts(int pitch) {
    TEXTMETRICA tm{};
    GetTextMetricsA(dc.get(), &tm);
    LOGFONTA base{};
    base.lfHeight = -MulDiv(pitch, GetDeviceCaps(dc.get(), LOGPIXELSY), 72);
    base.lfCharSet = ANSI_CHARSET;
    base.lfPitchAndFamily = tm.tmPitchAndFamily;
    GetTextFaceA(dc.get(), sizeof base.lfFaceName, base.lfFaceName);
    const struct {
      bool underline;
      LONG weight;
    } kinds[4] = {{false, FW_NORMAL}, {true, FW_NORMAL}, {false, FW_BOLD}, {true, FW_BOLD}};
    for (int k = 0; k < 4; ++k) {
      LOGFONTA font = base;
      font.lfUnderline = kinds[k].underline;
      font.lfWeight = kinds[k].weight;
      fonts[k].reset(CreateFontIndirectA(&font));
      if (!fonts[k]) return false;
    }
    by_attribute = {fonts[0].get(), fonts[1].get(), fonts[2].get(), fonts[3].get()};
    SelectObject(dc.get(), fonts[0].get());
    selected = fonts[0].get();
    GetTextMetricsA(dc.get(), &tm);
    char_width = tm.tmAveCharWidth;
    line_height = tm.tmHeight + tm.tmExternalLeading;
    lines_per_page = line_height > 0 ? GetDeviceCaps(dc.get(), VERTRES) / line_height : 0;
    ansi_advances.assign(quillet::kLineCapacity, char_width);
    wide_advances.assign(quillet::kGridUnits, 0);
    return true;
  }

  void Select(std::uint8_t attribute) {
    HGDIOBJ font = by_attribute.For(attribute);
    if (font != selected) SelectObject(dc.get(), font);
    selected = font;
  }

  void DrawAnsiLine(const quillet::ReportLine& line, int count, int y) {
    static quillet::DecodedLine decoded;
    static quillet::TextRun runs[quillet::kLineCapacity];
    quillet::DecodeLine(line.text, count, decoded);
    const int run_count = quillet::SplitRuns(decoded, char_width, runs);
    for (int r = 0; r < run_count; ++r) {
      if (runs[r].length == 0) continue;
      Select(runs[r].attribute);
      if (plain) {
        TextOutA(dc.get(), runs[r].x, y, decoded.chars + runs[r].start, runs[r].length);
      } else {
        ExtTextOutA(dc.get(), runs[r].x, y, 0, nullptr, decoded.chars + runs[r].start,
                    static_cast<UINT>(runs[r].length), ansi_advances.data());
      }
    }
  }

  void DrawUnicodeLine(const quillet::ReportLine& line, int count, int y) {
    static quillet::UnicodeLine decoded;
    static quillet::GridLine grid;
    quillet::DecodeUnicodeLine(line.text, count, line.positions, decoded);
    quillet::LayOutLine(quillet::TextLine{decoded.text, decoded.bytes, decoded.attrs, decoded.plain}, grid);
    for (int r = 0; r < grid.run_count; ++r) {
      const quillet::GridRun& run = grid.runs[r];
      for (int k = 0; k < run.units; ++k) wide_advances[k] = grid.advance[run.first + k] * char_width;
      Select(run.attribute);
      ExtTextOutW(dc.get(), run.column * char_width, y, 0, nullptr,
                  reinterpret_cast<const wchar_t*>(grid.units + run.first), static_cast<UINT>(run.units),
                  plain ? nullptr : wide_advances.data());
    }
  }

  // The report's pages, from StartDoc to EndDoc; false when a spooler call failed.
  bool PrintPages(quillet::ReportInput& input) {
    quillet::Pager pager(lines_per_page);
    for (;;) {
      static quillet::ReportLine line;
      std::int32_t status = quillet::CTL_NONE;
      const int count = quillet::GetLine(input, line, &status);
      if (status == quillet::CTL_EOF) break;
      const quillet::PageStep step = pager.Take(count, status);
      if (step.skipped != quillet::PageStep::Skip::kNone) continue;
      if (step.starts_page && StartPage(dc.get()) <= 0) return false;
      if (step.row >= 0) {
        if (line.unicode) {
          DrawUnicodeLine(line, count, line_height * step.row);
        } else {
          DrawAnsiLine(line, count, line_height * step.row);
        }
      }
      if (step.ends_page && EndPage(dc.get()) <= 0) return false;
    }
    pages = pager.pages();
    return pager.row() == 0 || EndPage(dc.get()) > 0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const bool plain = argc > 1 && std::strcmp(argv[1], "--plain") == 0;
  if (plain) {
    --argc;
    ++argv;
  }
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: print_floor [--plain] PRINTER PITCH REPORT [OUTPUT]\n");
    return 2;
  }
  const char* printer = argv[1];
  const int pitch = std::atoi(argv[2]);
  const char* path = argv[3];

  ReportFile report(path);
  if (!report.ok()) {
    std::fprintf(stderr, "print_floor: cannot open %s\n", path);
    return 1;
  }
  static quillet::ReportInput input;
  input.Open(report.get(), quillet::PrintJob{});

  Floor floor;
  floor.plain = plain;
  floor.dc.reset(CreateDCA("WINSPOOL", printer, nullptr, nullptr));
  if (!floor.dc || !floor.MakeFonts(pitch)) {
    std::fprintf(stderr, "print_floor: no device context or fonts for %s\n", printer);
    return 1;
  }
  SetBkMode(floor.dc.get(), TRANSPARENT);

  DOCINFOA info{};
  info.cbSize = sizeof info;
  info.lpszDocName = path;
  info.lpszOutput = argc == 5 ? argv[4] : nullptr;
  if (StartDocA(floor.dc.get(), &info) <= 0) {
    std::fprintf(stderr, "print_floor: StartDoc failed\n");
    return 1;
  }
  const bool printed = floor.PrintPages(input);
  if (!printed || EndDoc(floor.dc.get()) <= 0) {
    if (!printed) AbortDoc(floor.dc.get());
    std::fprintf(stderr, "print_floor: a spooler call failed\n");
    return 1;
  }
  std::fprintf(stderr, "%d pages, %d x %d device units, cell %d x %d, %d rows a page\n", floor.pages,
               GetDeviceCaps(floor.dc.get(), HORZRES), GetDeviceCaps(floor.dc.get(), VERTRES), floor.char_width,
               floor.line_height, floor.lines_per_page);
  return 0;
}
