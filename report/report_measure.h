// How much room a report needs on the grid: what must fit across the page and
// down it for the report to print whole.
#ifndef QUILLET_REPORT_REPORT_MEASURE_H
#define QUILLET_REPORT_REPORT_MEASURE_H

#include "report/pager.h"
#include "report/report_reader.h"

namespace quillet {

struct ReportMeasure {
  int widest = 0;        // columns of its widest line, blanks at its end left out
  int longest_page = 0;  // rows of its longest page, as its form feeds end its pages
  bool paged = false;    // a form feed ends one of its pages: the page length is the report's own
  int pages = 0;         // pages it prints on, at the page length it was measured for
  int rows = 0;          // rows so far of the page its form feeds end next

  // Counts a line as the pager placed it, `inked` its columns; a line that is
  // not `printed` takes no room.
  void Take(const PageStep& step, int inked, bool printed = true);
};

// Reads the report open in `input` to its end, the lines placed by the pager
// as the driver prints them on pages of `lines_per_page` rows, columns as the
// grid counts them (tabs, wide characters, marks). Without `columns` the lines
// are only paged, not laid out, and `widest` stays 0.
ReportMeasure MeasureReport(ReportInput& input, int lines_per_page = kNoPageLength, bool columns = true);

}  // namespace quillet

#endif
