#include "print/page_fit.h"

namespace quillet {

bool Fits(const ReportMeasure& measure, const PageGrid& grid) {
  if (measure.widest > grid.columns) return false;
  return !measure.paged || measure.longest_page <= grid.lines;
}

int ChooseFitSize(const ReportMeasure& measure, const std::function<PageGrid(int half_points)>& grid_at) {
  // A larger font never holds more of the report, so the sizes that fit are the
  // small ones: find the last of them.
  if (!Fits(measure, grid_at(kFitSmallest))) return 0;
  int fits = kFitSmallest;
  int too_large = kFitLargest + 1;
  while (too_large - fits > 1) {
    const int middle = fits + (too_large - fits) / 2;
    if (Fits(measure, grid_at(middle))) {
      fits = middle;
    } else {
      too_large = middle;
    }
  }
  return fits;
}

std::string PointsText(int half_points) {
  return std::to_string(half_points / 2) + (half_points % 2 != 0 ? ".5" : "");
}

}  // namespace quillet
