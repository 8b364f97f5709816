// One print call at a time in the process.
#ifndef QUILLET_PRINT_PRINT_LOCK_H
#define QUILLET_PRINT_PRINT_LOCK_H

#include <mutex>

namespace quillet {

// The printing calls (printing reports, the Print Setup dialog, the current
// printer's name) share the held printer, the cancel dialog, the abort flag and
// the driver's buffers, so each holds this lock for its whole call; a second
// thread waits until the first is done. It may be taken again on the thread
// that holds it: while a report spools, the abort procedure dispatches that
// thread's messages, and a window of the host may call in from there.
std::unique_lock<std::recursive_mutex> LockPrinting();

}  // namespace quillet

#endif
