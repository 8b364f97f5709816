// The library's message boxes, through one seam. A program that must not stop
// on a modal box (the command line front end, run from scripts) puts a handler
// in its place; without one, every box is MessageBoxA with no owner, as the Java
// client has always seen them.
#ifndef QUILLET_PLATFORM_MESSAGE_BOX_WIN32_H
#define QUILLET_PLATFORM_MESSAGE_BOX_WIN32_H

#include <windows.h>

namespace quillet {

// Shows a box (no owner window) and returns the button pressed (IDOK, IDCANCEL,
// IDRETRY ...), as MessageBoxA does. `caption` null: the system's "Error".
int ShowMessageBox(const char* text, const char* caption, UINT type);

// Replaces what ShowMessageBox does; null restores MessageBoxA. Returns the
// handler that was in force. Set once, before any printing starts.
using MessageBoxHandler = int (*)(const char* text, const char* caption, UINT type);
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace quillet

#endif
