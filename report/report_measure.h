// How much room a report needs on the grid: what must fit across the page and
// down it for the report to print whole.
#ifndef QUILLET_REPORT_REPORT_MEASURE_H
#define QUILLET_REPORT_REPORT_MEASURE_H

#include "report/report_reader.h"

namespace quillet {

struct ReportMeasure {
  int widest = 0;        // columns of its widest line, blanks at its end left out
  int longest_page = 0;  // rows of its longest page
  bool paged = false;    // a form feed ends one of its pages: the page length is the report's own
};

// Reads the report open in `input` to its end, the lines counted as the driver
// prints them: a line takes a row, a form feed ends the page, columns as the
// grid counts them (tabs, wide characters, marks).
ReportMeasure MeasureReport(ReportInput& input);

}  // namespace quillet

#endif
