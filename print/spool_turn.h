// Spooling under Wine, where the processes of one prefix share one spool folder
// and number their spool files alike: two that spool at once write the same
// file, and a job is lost, cut short or arrives blank. The processes of a prefix
// therefore spool one document at a time (spool_turn_win32.h); a document that
// still finds the spooler busy (another program spooling) is started again after
// growing pauses. On Windows neither happens.
#ifndef QUILLET_PRINT_SPOOL_TURN_H
#define QUILLET_PRINT_SPOOL_TURN_H

namespace quillet {

// How long StartDoc is tried again while the spooler is busy with another
// document, in milliseconds.
constexpr unsigned kBusySpoolerPatience = 120000;

// The pause before the next try of a StartDoc that found the spooler busy,
// given the pause before (0 for the first) and the time waited so far: 250 ms,
// then twice the pause before, at most 8 s, until the patience is used up (0:
// give up).
unsigned NextBusySpoolerPause(unsigned previous_pause, unsigned waited);

}  // namespace quillet

#endif
