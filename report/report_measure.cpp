#include "report/report_measure.h"

#include <algorithm>
#include <memory>

#include "report/ansi_line.h"
#include "report/report_reader.h"
#include "text/line_layout.h"

namespace quillet {

void ReportMeasure::Take(const PageStep& step, int inked, bool printed) {
  if (step.row >= 0 && printed) {
    widest = std::max(widest, inked);
    longest_page = std::max(longest_page, ++rows);  // the last page counts without a form feed after it
  }
  if (step.ends_own_page) {
    paged = true;
    rows = 0;
  }
}

ReportMeasure MeasureReport(ReportInput& input, int lines_per_page, bool columns) {
  ReportMeasure measure;
  Pager pager(lines_per_page);
  auto line = std::make_unique<ReportLine>();
  auto decoded = std::make_unique<DecodedLine>();
  auto unicode = std::make_unique<UnicodeLine>();
  auto grid = std::make_unique<GridLine>();
  for (;;) {
    std::int32_t status = CTL_NONE;
    const int count = GetLine(input, *line, &status);
    if (status == CTL_EOF) break;
    const PageStep step = pager.Take(count, status);
    int inked = 0;
    if (step.row >= 0 && columns) {
      if (line->unicode) {
        DecodeUnicodeLine(line->text, count, line->positions, *unicode);
        LayOutLine(TextLine{unicode->text, unicode->bytes, unicode->attrs, unicode->plain}, *grid);
        inked = grid->inked;
      } else {
        DecodeLine(line->text, count, *decoded);
        const bool as_text = input.detect && AnsiLineAsUnicode(*decoded, *unicode);
        if (as_text) LayOutLine(TextLine{unicode->text, unicode->bytes, unicode->attrs, unicode->plain}, *grid);
        inked = as_text ? grid->inked : InkedColumns(*decoded);
      }
    }
    measure.Take(step, inked);
  }
  measure.pages = pager.pages();
  return measure;
}

}  // namespace quillet
