#include <windows.h>

#include "platform/module_win32.h"

// Thread notifications stay on: the statically linked runtime cleans up each
// thread's own data when the thread ends.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) quillet::SetQuilletModule(instance);
  return TRUE;
}
