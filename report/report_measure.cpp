#include "report/report_measure.h"

#include <algorithm>
#include <memory>

#include "report/ansi_line.h"
#include "report/report_reader.h"
#include "text/line_layout.h"

namespace quillet {

ReportMeasure MeasureReport(PrintJob& job) {
  ReportMeasure measure;
  auto line = std::make_unique<ReportLine>();
  auto decoded = std::make_unique<DecodedLine>();
  auto unicode = std::make_unique<UnicodeLine>();
  auto grid = std::make_unique<GridLine>();
  int rows = 0;      // on the page being read
  bool any = false;  // a line has been placed: a form feed before that starts no page
  for (;;) {
    std::int32_t status = CTL_NONE;
    const int count = GetLine(job, *line, &status);
    if (status == CTL_EOF) break;
    if (count > 0) {
      int inked = 0;
      if (line->unicode) {
        DecodeUnicodeLine(line->text, count, line->positions, *unicode);
        LayOutLine(TextLine{unicode->text, unicode->bytes, unicode->attrs, unicode->plain}, *grid);
        inked = grid->inked;
      } else {
        DecodeLine(line->text, count, *decoded);
        const bool as_text = !job.raw && !job.oem && !job.ansi && AnsiLineAsUnicode(*decoded, *unicode);
        if (as_text) LayOutLine(TextLine{unicode->text, unicode->bytes, unicode->attrs, unicode->plain}, *grid);
        inked = as_text ? grid->inked : InkedColumns(*decoded);
      }
      measure.widest = std::max(measure.widest, inked);
      ++rows;
      any = true;
    }
    if (status == CTL_FORM_FEED && any) {
      measure.paged = true;
      measure.longest_page = std::max(measure.longest_page, rows);
      rows = 0;
    }
  }
  measure.longest_page = std::max(measure.longest_page, rows);
  return measure;
}

}  // namespace quillet
