// The cancel dialog's procedure and the abort procedure, exported by the library
// as AbrtDlgP (ordinal 1) and AbrtProc (ordinal 2).
#ifndef QUILLET_PRINT_ABORT_DIALOG_WIN32_H
#define QUILLET_PRINT_ABORT_DIALOG_WIN32_H

#include <windows.h>

#include "platform/spool_turn_win32.h"

// Dialog procedure of the ABRTDLG template: on WM_INITDIALOG sets the caption to
// "Spooling" and stores the window in progress_window; any WM_COMMAND sets
// user_abort.
// A DLGPROC: its result is pointer-sized (on 32-bit Windows the same int as BOOL,
// so the export stays AbrtDlgP@16).
extern "C" INT_PTR CALLBACK AbrtDlgP(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Abort procedure of a printer device context: dispatches every pending message of
// the thread (the cancel dialog's through IsDialogMessageA) and answers whether
// printing may go on (!user_abort).
extern "C" BOOL CALLBACK AbrtProc(HDC dc, int error);

namespace quillet {

// Waits until `handle` (null: none) is signalled or `milliseconds` have passed
// (a WaitFunction). Meanwhile the thread's messages are dispatched as the abort
// procedure dispatches them while a report spools, so the cancel dialog
// answers; the wait ends early when the user cancels (Cancel, or Ctrl+C in the
// command line front end: user_abort).
WaitEnd WaitDispatching(HANDLE handle, DWORD milliseconds);

}  // namespace quillet

#endif
