#include "print/spool_turn_win32.h"

#include "print/abort_dialog.h"
#include "print/abort_dialog_win32.h"
#include "trace/trace.h"

namespace quillet {
namespace {

// Named objects are shared by the processes of one Wine server, which serves
// one prefix (32-bit and 64-bit programs of it alike).
constexpr wchar_t kTurnName[] = L"Local\\Quillet spooler turn";
constexpr DWORD kSlice = 100;  // how often a wait looks at user_abort, in ms

}  // namespace

bool RunningUnderWine() {
  static const bool wine = [] {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

WaitEnd WaitDispatching(HANDLE handle, DWORD milliseconds) {
  const DWORD count = handle != nullptr ? 1 : 0;
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    if (user_abort) return WaitEnd::kCancelled;
    DWORD slice = kSlice;
    if (milliseconds != INFINITE) {
      const ULONGLONG waited = GetTickCount64() - start;
      if (waited >= milliseconds) return WaitEnd::kTimedOut;
      if (milliseconds - waited < slice) slice = static_cast<DWORD>(milliseconds - waited);
    }
    const DWORD woken = MsgWaitForMultipleObjects(count, count != 0 ? &handle : nullptr, FALSE, slice, QS_ALLINPUT);
    if (count != 0 && woken == WAIT_OBJECT_0) return WaitEnd::kSignalled;
    if (count != 0 && woken == WAIT_ABANDONED_0) return WaitEnd::kAbandoned;
    if (woken == WAIT_OBJECT_0 + count) AbrtProc(nullptr, 0);  // messages: the cancel dialog's among them
    if (woken == WAIT_FAILED) return WaitEnd::kFailed;
  }
}

bool SpoolTurn::Take() {
  if (held_) return true;
  mutex_.reset(CreateMutexW(nullptr, FALSE, kTurnName));
  if (!mutex_) {
    Trace("StartDoc cannot wait for its turn to spool (error %lu): spooling without it\n", GetLastError());
    return true;
  }
  WaitEnd end;
  switch (WaitForSingleObject(mutex_.get(), 0)) {
    case WAIT_OBJECT_0:
      end = WaitEnd::kSignalled;
      break;
    case WAIT_ABANDONED:
      end = WaitEnd::kAbandoned;
      break;
    case WAIT_TIMEOUT:
      Trace("StartDoc waits for another process of this Wine prefix to end its document\n");
      end = WaitDispatching(mutex_.get(), INFINITE);
      break;
    default:
      end = WaitEnd::kFailed;
      break;
  }
  switch (end) {
    case WaitEnd::kSignalled:
      held_ = true;
      return true;
    case WaitEnd::kAbandoned:
      Trace("StartDoc takes over the turn of a process that ended while it spooled\n");
      held_ = true;
      return true;
    case WaitEnd::kCancelled:
      Trace("StartDoc cancelled while waiting for its turn to spool\n");
      mutex_.reset();
      return false;
    default:
      Trace("StartDoc cannot wait for its turn to spool (error %lu): spooling without it\n", GetLastError());
      mutex_.reset();
      return true;
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
