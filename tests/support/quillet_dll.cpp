#include "support/quillet_dll.h"

namespace quillet::test {
namespace {

template <class F>
void Bind(HMODULE module, F& target, const char* name) {
  target = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

QuilletDll::QuilletDll() {
  module = LoadLibraryA("QUILLETDLL.dll");
  if (module == nullptr) return;
  Bind(module, quillet, "_Java_doc_NativeWindows_quillet@12");
  Bind(module, quillet_setup, "_Java_doc_NativeWindows_quillet_1setup@8");
  Bind(module, get_printer_name, "_Java_doc_NativeWindows_get_1printer_1name@8");
  Bind(module, launch_document, "_Java_doc_NativeWindows_launch_1document@16");
  Bind(module, shellexec, "_Java_doc_NativeWindows_shellexec@12");
  Bind(module, read_registry_string, "_Java_doc_NativeWindows_read_1registry_1string@20");
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
