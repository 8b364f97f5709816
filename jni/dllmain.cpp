#include <windows.h>

#include "jni/module.h"

namespace {
HINSTANCE g_module = nullptr;
}

namespace quillet {
HINSTANCE QuilletModule() {
  return g_module != nullptr ? g_module : GetModuleHandleA(nullptr);
}
}  // namespace quillet

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
