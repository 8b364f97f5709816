// The cancel dialog and the abort procedure.
#include "print/abort_dialog_win32.h"

#include "print/abort_dialog.h"

extern "C" INT_PTR CALLBACK AbrtDlgP(HWND dialog, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      // Set before the dialog is first shown, so the template's caption never is.
      SetWindowTextA(dialog, "Spooling");
      quillet::progress_window = dialog;
      return TRUE;  // focus goes to Cancel, the only tab stop
    case WM_COMMAND:
      // The Cancel button, and Enter or Escape through IsDialogMessageA. The dialog
      // stays until the driver ends the report.
      quillet::user_abort = 1;
      return TRUE;
    default:
      return FALSE;
  }
}

extern "C" BOOL CALLBACK AbrtProc(HDC, int) {
  // Every error code is treated alike; the queue is emptied and never waited on.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    HWND dialog = static_cast<HWND>(quillet::cancel_dialog);
    if (dialog != nullptr && IsDialogMessageA(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return quillet::user_abort == 0;
}

namespace quillet {

WaitEnd WaitDispatching(HANDLE handle, DWORD milliseconds) {
  constexpr DWORD kSlice = 100;  // how often the wait looks at user_abort, in ms
  const DWORD count = handle != nullptr ? 1 : 0;
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    if (user_abort) return WaitEnd::kCancelled;
    const ULONGLONG waited = GetTickCount64() - start;
    if (waited >= milliseconds) return WaitEnd::kTimedOut;
    const DWORD slice = milliseconds - waited < kSlice ? static_cast<DWORD>(milliseconds - waited) : kSlice;
    const DWORD woken = MsgWaitForMultipleObjects(count, count != 0 ? &handle : nullptr, FALSE, slice, QS_ALLINPUT);
    if (count != 0 && woken == WAIT_OBJECT_0) return WaitEnd::kSignalled;
    if (count != 0 && woken == WAIT_ABANDONED_0) return WaitEnd::kAbandoned;
    if (woken == WAIT_OBJECT_0 + count) AbrtProc(nullptr, 0);  // messages: the cancel dialog's among them
    if (woken == WAIT_FAILED) return WaitEnd::kFailed;
  }
}

}  // namespace quillet
