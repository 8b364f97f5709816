// State shared by the print driver, the cancel dialog's procedure and the abort
// procedure. Process-wide and used only on the thread that prints.
#ifndef QUILLET_PRINT_ABORT_DIALOG_H
#define QUILLET_PRINT_ABORT_DIALOG_H

namespace quillet {

// 1 once the user has asked to cancel; the driver sets 0 at the start of every
// report, before it creates the dialog.
extern int user_abort;

// The cancel dialog (HWND) while one exists, else null. The driver sets it from the
// creating call and clears it when it destroys the dialog.
extern void* cancel_dialog;

// The same window, stored by the dialog procedure from within the dialog's
// creation; the driver writes the page line into it and clears it with
// cancel_dialog.
extern void* progress_window;

}  // namespace quillet

#endif
