// The edge between the virtual machine and the library's C++.
#ifndef QUILLET_JNI_EXPORT_BOUNDARY_H
#define QUILLET_JNI_EXPORT_BOUNDARY_H

#include <new>

#include "trace/trace.h"

namespace quillet {

// Runs an exported method's body. No C++ exception may reach the virtual
// machine: it would end the whole Java process. Whatever the body holds (Java
// strings, locks, handles) is given back as the exception unwinds it, and the
// method returns `failure`.
template <class Result, class Body>
Result ExportBoundary(const char* method, Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    Trace("%s() out of memory\n", method);
  } catch (...) {
    Trace("%s() failed with an unexpected error\n", method);
  }
  return failure;
}

}  // namespace quillet

#endif
