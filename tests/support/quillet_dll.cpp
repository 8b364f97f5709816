#include "support/quillet_dll.h"

#include <string>

namespace quillet::test {
namespace {

template <class F>
void Bind(HMODULE module, F& target, const char* name) {
  target = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The exported name of a native method: stdcall-decorated with its argument bytes
// on 32-bit Windows, the plain JNI name on x64.
template <class F>
void BindNative(HMODULE module, F& target, const std::string& name, [[maybe_unused]] int argument_bytes) {
#ifdef _WIN64
  Bind(module, target, name.c_str());
#else
  Bind(module, target, ("_" + name + "@" + std::to_string(argument_bytes)).c_str());
#endif
}

}  // namespace

QuilletDll::QuilletDll() {
  module = LoadLibraryA("QUILLETDLL.dll");
  if (module == nullptr) return;
  BindNative(module, quillet, "Java_doc_NativeWindows_quillet", 12);
  BindNative(module, quillet_setup, "Java_doc_NativeWindows_quillet_1setup", 8);
  BindNative(module, get_printer_name, "Java_doc_NativeWindows_get_1printer_1name", 8);
  BindNative(module, launch_document, "Java_doc_NativeWindows_launch_1document", 16);
  BindNative(module, shellexec, "Java_doc_NativeWindows_shellexec", 12);
  BindNative(module, read_registry_string, "Java_doc_NativeWindows_read_1registry_1string", 20);
  Bind(module, abrt_dlg_p, "AbrtDlgP");
  Bind(module, abrt_proc, "AbrtProc");
}

QuilletDll::~QuilletDll() {
  if (module != nullptr) FreeLibrary(module);
}

bool QuilletDll::ok() const {
  return module != nullptr && quillet != nullptr && quillet_setup != nullptr && get_printer_name != nullptr &&
         launch_document != nullptr && shellexec != nullptr && read_registry_string != nullptr &&
         abrt_dlg_p != nullptr && abrt_proc != nullptr;
}

}  // namespace quillet::test
