#include "platform/spool_turn_win32.h"

#include "trace/trace.h"

namespace quillet {
namespace {

// Named objects are shared by the processes of one Wine server, which serves
// one prefix (32-bit and 64-bit programs of it alike).
constexpr wchar_t kTurnName[] = L"Local\\Quillet spooler turn";

}  // namespace

TurnWait SpoolTurn::Wait(unsigned milliseconds, WaitFunction wait) {
  if (held_) return TurnWait::kTaken;
  if (!mutex_) mutex_.reset(CreateMutexW(nullptr, FALSE, kTurnName));
  WaitEnd end = WaitEnd::kFailed;
  if (mutex_) {
    switch (WaitForSingleObject(mutex_.get(), 0)) {
      case WAIT_OBJECT_0:
        end = WaitEnd::kSignalled;
        break;
      case WAIT_ABANDONED:
        end = WaitEnd::kAbandoned;
        break;
      case WAIT_TIMEOUT:
        end = milliseconds == 0 ? WaitEnd::kTimedOut : wait(mutex_.get(), milliseconds);
        break;
      default:
        break;
    }
  }
  switch (end) {
    case WaitEnd::kSignalled:
      held_ = true;
      return TurnWait::kTaken;
    case WaitEnd::kAbandoned:
      held_ = true;
      return TurnWait::kTakenOver;
    case WaitEnd::kTimedOut:
      return TurnWait::kHeld;
    case WaitEnd::kCancelled:
      mutex_.reset();
      return TurnWait::kCancelled;
    default:
      Trace("StartDoc cannot wait for its turn to spool (error %lu): spooling without it\n", GetLastError());
      mutex_.reset();
      return TurnWait::kUnavailable;
  }
}

void SpoolTurn::Release() {
  if (!mutex_) return;
  const DWORD error = GetLastError();
  if (held_) ReleaseMutex(mutex_.get());
  held_ = false;
  mutex_.reset();
  SetLastError(error);
}

}  // namespace quillet
