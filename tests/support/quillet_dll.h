// QUILLETDLL.dll loaded the way a Java virtual machine loads it: LoadLibraryA, then
// GetProcAddress by the exact exported names of the program's architecture.
#ifndef QUILLET_TESTS_QUILLET_DLL_H
#define QUILLET_TESTS_QUILLET_DLL_H

#include <jni.h>
#include <windows.h>

namespace quillet::test {

struct QuilletDll {
  using Quillet = jboolean(JNICALL*)(JNIEnv*, jclass, jobjectArray);
  using QuilletSetup = jboolean(JNICALL*)(JNIEnv*, jclass);
  using GetPrinterName = jstring(JNICALL*)(JNIEnv*, jclass);
  using LaunchDocument = jboolean(JNICALL*)(JNIEnv*, jclass, jstring, jstring);
  using ShellExec = jboolean(JNICALL*)(JNIEnv*, jclass, jobjectArray);
  using ReadRegistryString = jstring(JNICALL*)(JNIEnv*, jclass, jint, jstring, jstring);
  using AbrtDlgP = DLGPROC;
  using AbrtProc = ABORTPROC;

  HMODULE module = nullptr;
  Quillet quillet = nullptr;
  QuilletSetup quillet_setup = nullptr;
  GetPrinterName get_printer_name = nullptr;
  LaunchDocument launch_document = nullptr;
  ShellExec shellexec = nullptr;
  ReadRegistryString read_registry_string = nullptr;
  AbrtDlgP abrt_dlg_p = nullptr;
  AbrtProc abrt_proc = nullptr;

  // Loads QUILLETDLL.dll from the test program's folder; every member is set
  // when the load and all look-ups succeed (ok() tells).
  QuilletDll();
  ~QuilletDll();
  QuilletDll(const QuilletDll&) = delete;
  QuilletDll& operator=(const QuilletDll&) = delete;

  bool ok() const;
};

}  // namespace quillet::test

#endif
