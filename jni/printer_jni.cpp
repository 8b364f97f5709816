// quillet_setup and get_printer_name: the Print Setup dialog and the current
// printer's name for Java.
#include "doc_NativeWindows.h"

#include <string>

#include "print/printer_setup.h"

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_quillet_1setup(JNIEnv*, jclass) {
  return quillet::ShowPrintSetup() ? JNI_TRUE : JNI_FALSE;
}

extern "C" JNIEXPORT jstring JNICALL Java_doc_NativeWindows_get_1printer_1name(JNIEnv* env, jclass) {
  std::string name;
  if (!quillet::GetCurrentPrinterName(name))
    name = "**ERROR** Java_doc_NativeWindows_get_1printer_1name() GetLock() failed";
  return env->NewStringUTF(name.c_str());
}
