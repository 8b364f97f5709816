#include "platform/module_win32.h"

namespace quillet {
namespace {
HINSTANCE g_module = nullptr;
}

HINSTANCE QuilletModule() { return g_module != nullptr ? g_module : GetModuleHandleA(nullptr); }

void SetQuilletModule(HINSTANCE module) { g_module = module; }

}  // namespace quillet
