#include "print/spool_turn.h"

#include <algorithm>

namespace quillet {

unsigned NextBusySpoolerPause(unsigned previous_pause, unsigned waited) {
  if (waited >= kBusySpoolerPatience) return 0;
  const unsigned pause = previous_pause == 0 ? 250 : std::min(previous_pause * 2, 8000u);
  return std::min(pause, kBusySpoolerPatience - waited);
}

}  // namespace quillet
