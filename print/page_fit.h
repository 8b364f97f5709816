// -pitch=fit: the largest font size at which a report fits the page.
#ifndef QUILLET_PRINT_PAGE_FIT_H
#define QUILLET_PRINT_PAGE_FIT_H

#include <functional>
#include <string>

#include "report/report_measure.h"

namespace quillet {

// Sizes are in half points, from 4 points to 72.
constexpr int kFitSmallest = 8;
constexpr int kFitLargest = 144;

// What a page holds at a font size: whole columns across, whole rows down.
struct PageGrid {
  int columns = 0;
  int lines = 0;
};

// Whether a report of `measure` prints whole on a page of `grid`: its widest line
// across it and, when form feeds page the report, its longest page down it.
bool Fits(const ReportMeasure& measure, const PageGrid& grid);

// The largest size, in half points from kFitSmallest to kFitLargest, at which the
// report fits the page that `grid_at` describes for each size (a font's cells
// grow with its size); 0 when it fits at none.
int ChooseFitSize(const ReportMeasure& measure, const std::function<PageGrid(int half_points)>& grid_at);

// A size in half points as people write it: "8.5", "10".
std::string PointsText(int half_points);

}  // namespace quillet

#endif
