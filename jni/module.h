// The library's own module handle, kept from the loader's call at load.
#ifndef QUILLET_JNI_MODULE_H
#define QUILLET_JNI_MODULE_H

#include <windows.h>

namespace quillet {

// The module whose resources hold the cancel dialog: this DLL, or the running
// program when the library's code is linked into a test program.
HINSTANCE QuilletModule();

}  // namespace quillet

#endif
