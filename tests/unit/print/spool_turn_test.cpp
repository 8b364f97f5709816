#include "print/spool_turn.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

// A StartDoc that keeps finding the spooler busy is tried again after growing
// pauses, and given up once two minutes have been waited, never later.
TEST(BusySpooler, PausesGrowAndEndAfterTwoMinutes) {
  unsigned pause = 0, waited = 0, tries = 0;
  while ((pause = NextBusySpoolerPause(pause, waited)) != 0) {
    EXPECT_LE(pause, 8000u);
    waited += pause;
    ++tries;
  }
  EXPECT_EQ(waited, kBusySpoolerPatience);
  EXPECT_EQ(tries, 20u);  // 250, 500 ... 8000 ms, then 8 s at a time
  EXPECT_EQ(NextBusySpoolerPause(0, 0), 250u);
  EXPECT_EQ(NextBusySpoolerPause(250, 250), 500u);
}

}  // namespace
}  // namespace quillet
