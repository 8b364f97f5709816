#include "print/page_fit.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(ChooseFitSize, LargestSizeAtWhichTheReportFits) {
  // A font `half_points` high on a printer of `dpi`: cells `width` tenths of the
  // height wide, rows the height plus a tenth.
  struct Case {
    const char* name;
    ReportMeasure report;
    int horzres, vertres, dpi, width;
    int half_points;  // 0: fits at none
  } cases[] = {
      {"80 columns across A4 at 300 dpi", {80, 60, false}, 2480, 3508, 300, 6, 25},
      {"132 columns", {132, 60, false}, 2480, 3508, 300, 6, 15},
      {"132 columns, landscape", {132, 60, false}, 3508, 2480, 300, 6, 21},
      {"66-line pages limit it", {40, 66, true}, 2480, 3508, 300, 6, 23},
      {"without form feeds, only its width", {40, 66, false}, 2480, 3508, 300, 6, 50},
      {"a narrower face fits more", {132, 60, false}, 2480, 3508, 300, 5, 17},
      {"600 dpi: the same sizes", {80, 60, false}, 4960, 7016, 600, 6, 25},
      {"never above 72 points", {2, 1, true}, 2480, 3508, 300, 6, 144},
      {"an empty report", {0, 0, false}, 2480, 3508, 300, 6, 144},
      {"not even at 4 points", {600, 60, false}, 2480, 3508, 300, 6, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int chosen = ChooseFitSize(c.report, [&](int half_points) {
      const int height = (half_points * c.dpi + 72) / 144;
      const int cell = height * c.width / 10;
      return PageGrid{cell > 0 ? c.horzres / cell : 0, c.vertres / (height + height / 10)};
    });
    EXPECT_EQ(chosen, c.half_points);
  }
  EXPECT_EQ(PointsText(17), "8.5");
  EXPECT_EQ(PointsText(20), "10");
}

}  // namespace
}  // namespace quillet
