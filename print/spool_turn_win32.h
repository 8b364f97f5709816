// One document at a time across the processes of a Wine prefix (spool_turn.h).
#ifndef QUILLET_PRINT_SPOOL_TURN_WIN32_H
#define QUILLET_PRINT_SPOOL_TURN_WIN32_H

#include <windows.h>

#include "platform/handles_win32.h"

namespace quillet {

// The library runs under Wine: ntdll exports wine_get_version.
bool RunningUnderWine();

// How a wait that keeps the thread's windows alive ended.
enum class WaitEnd { kSignalled, kAbandoned, kTimedOut, kCancelled, kFailed };

// Waits until `handle` (null: none) is signalled or `milliseconds` (INFINITE:
// no limit) have passed. Meanwhile the thread's messages are dispatched as the
// abort procedure dispatches them while a report spools, so the cancel dialog
// answers; the wait ends early when the user cancels (Cancel, or Ctrl+C in the
// command line front end: user_abort).
WaitEnd WaitDispatching(HANDLE handle, DWORD milliseconds);

// The turn of the prefix's processes to spool: a named mutex, held from before
// StartDoc until after EndDoc or AbortDoc. A holder that ended without giving
// the turn back (killed while spooling) leaves it abandoned, and the next one
// takes it over.
class SpoolTurn {
 public:
  SpoolTurn() = default;
  ~SpoolTurn() { Release(); }
  SpoolTurn(const SpoolTurn&) = delete;
  SpoolTurn& operator=(const SpoolTurn&) = delete;

  // Waits for the turn (traced when another process has it). False when the
  // user cancelled meanwhile. When the turn cannot be had at all, printing goes
  // on without it (traced).
  bool Take();
  // Gives the turn back; nothing when it is not held. The thread's last error
  // code is kept.
  void Release();

 private:
  UniqueHandle mutex_;
  bool held_ = false;  // this thread owns mutex_
};

}  // namespace quillet

#endif
