// quillet_setup and get_printer_name: the Print Setup dialog and the current
// printer's name for Java. Both hold the print lock for their whole call.
#include "doc_NativeWindows.h"

#include <string>

#include "jni/export_boundary.h"
#include "jni/jni_strings.h"
#include "print/print_lock.h"
#include "printer/printer_setup.h"
#include "trace/trace.h"

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_quillet_1setup(JNIEnv*, jclass) {
  using namespace quillet;
  return ExportBoundary("Java_doc_NativeWindows_quillet_1setup", JNI_FALSE, []() -> jboolean {
    const auto printing = LockPrinting();
    if (printing.nested()) {
      // Called from a window of this thread while a report spools: the dialog
      // would run on top of the report under way and could change its printer.
      Trace("Java_doc_NativeWindows_quillet_1setup() called while this thread prints, ignored\n");
      return JNI_FALSE;
    }
    return ShowPrintSetup() ? JNI_TRUE : JNI_FALSE;
  });
}

extern "C" JNIEXPORT jstring JNICALL Java_doc_NativeWindows_get_1printer_1name(JNIEnv* env, jclass) {
  using namespace quillet;
  return ExportBoundary("Java_doc_NativeWindows_get_1printer_1name", jstring{nullptr}, [&]() -> jstring {
    const auto printing = LockPrinting();
    std::string name;
    if (!GetCurrentPrinterName(name))
      name = "**ERROR** Java_doc_NativeWindows_get_1printer_1name() GetLock() failed";
    return NewJavaString(env, name);
  });
}
