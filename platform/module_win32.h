// The module whose resources hold the cancel dialog's template.
#ifndef QUILLET_PLATFORM_MODULE_WIN32_H
#define QUILLET_PLATFORM_MODULE_WIN32_H

#include <windows.h>

namespace quillet {

// The library's own module, as the loader gave it at load; the running program
// when the library's code is linked into a program of its own (the command line
// front end, the test programs), whose resources then hold the template.
HINSTANCE QuilletModule();

// Called once, from the library's entry point.
void SetQuilletModule(HINSTANCE module);

}  // namespace quillet

#endif
