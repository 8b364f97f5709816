#include "print/spool_turn.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

// A StartDoc that keeps finding the spooler busy is tried again after growing
// pauses (250 ms, 500 ms ... 8 s) and given up after two minutes, never later.
TEST(BusySpooler, PausesGrowAndEndAfterTwoMinutes) {
  unsigned pause = 0, waited = 0, tries = 0;
  while ((pause = NextBusySpoolerPause(pause, waited)) != 0 && ++tries) waited += pause;
  EXPECT_EQ(waited, kBusySpoolerPatience);
  EXPECT_EQ(tries, 20u);
}

}  // namespace
}  // namespace quillet
