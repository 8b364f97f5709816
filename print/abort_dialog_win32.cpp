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
