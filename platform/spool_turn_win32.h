// One document at a time across the processes of a Wine prefix (spool_turn.h).
#ifndef QUILLET_PLATFORM_SPOOL_TURN_WIN32_H
#define QUILLET_PLATFORM_SPOOL_TURN_WIN32_H

#include <windows.h>

#include "platform/handles_win32.h"
#include "platform/spool_turn.h"
#include "platform/wine_win32.h"

namespace quillet {

// How a wait that keeps the thread's windows alive ended.
enum class WaitEnd { kSignalled, kAbandoned, kTimedOut, kCancelled, kFailed };

// Waits until `handle` (null: none) is signalled or `milliseconds` have passed,
// keeping the thread's windows alive and ending early when the user cancels.
using WaitFunction = WaitEnd (*)(HANDLE handle, DWORD milliseconds);

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

  // Waits up to `milliseconds` (0: looks only) for the turn, through `wait`.
  // When the turn cannot be had at all, that is traced and kUnavailable.
  TurnWait Wait(unsigned milliseconds, WaitFunction wait);
  // Gives the turn back; nothing when it is not held. The thread's last error
  // code is kept.
  void Release();

 private:
  UniqueHandle mutex_;
  bool held_ = false;  // this thread owns mutex_
};

}  // namespace quillet

#endif
