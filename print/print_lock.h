// One print call at a time in the process.
#ifndef QUILLET_PRINT_PRINT_LOCK_H
#define QUILLET_PRINT_PRINT_LOCK_H

#include <mutex>

namespace quillet {

// The printing calls (printing reports, the Print Setup dialog, the current
// printer's name) share the held printer, the cancel dialog, the abort flag and
// the driver's buffers, so each holds this lock for its whole call; a second
// thread waits until the first is done.
//
// The thread that holds it may take it again: while a report spools, the abort
// procedure dispatches that thread's messages, and a window of the host may call
// in from there. Such a call is nested inside the one that is printing; it must
// not start a print call of its own (it would reset the cancel flag and destroy
// the cancel dialog of the report under way), which nested() tells.
class PrintingLock {
 public:
  PrintingLock();
  ~PrintingLock();
  PrintingLock(const PrintingLock&) = delete;
  PrintingLock& operator=(const PrintingLock&) = delete;

  // This thread already held the lock when it took it.
  bool nested() const { return nested_; }

 private:
  std::unique_lock<std::recursive_mutex> lock_;
  bool nested_;
};

inline PrintingLock LockPrinting() { return PrintingLock(); }

}  // namespace quillet

#endif
