// The library's message boxes, through one seam. A program that must not stop
// on a modal box (the command line front end, run from scripts) puts a handler
// in its place. Without one, every box is MessageBoxA with no owner, as the Java
// client has always seen them, unless nobody could answer it (message_box.h):
// then its text goes to the trace log and standard error instead.
#ifndef QUILLET_PLATFORM_MESSAGE_BOX_WIN32_H
#define QUILLET_PLATFORM_MESSAGE_BOX_WIN32_H

#include <windows.h>

#include "platform/message_box.h"

namespace quillet {

// Shows a box (no owner window) and returns the button pressed (IDOK, IDCANCEL,
// IDRETRY ...), as MessageBoxA does. `caption` null: the system's "Error".
int ShowMessageBox(const char* text, const char* caption, UINT type);

// Replaces what ShowMessageBox does; null restores MessageBoxA. Returns the
// handler that was in force. Set once, before any printing starts.
using MessageBoxHandler = int (*)(const char* text, const char* caption, UINT type);
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// What the process's window station is (GetProcessWindowStation and its
// UOI_FLAGS), asked before every box.
WindowStation ProcessWindowStation();

// Test seam: replaces the question above; null restores it. Returns the one
// that was in force.
using WindowStationQuery = WindowStation (*)();
WindowStationQuery SetWindowStationQuery(WindowStationQuery query);

}  // namespace quillet

#endif
