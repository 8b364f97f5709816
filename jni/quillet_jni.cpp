// The print entry: quillet(String[] args) walks an argument list that mixes
// options with report names and prints each report with the options given so far.
#include <string>

#include "doc_NativeWindows.h"
#include "jni/export_boundary.h"
#include "jni/jni_strings.h"
#include "print/print_entry.h"
#include "print/print_lock.h"
#include "trace/trace.h"

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_quillet(JNIEnv* env, jclass, jobjectArray args) {
  using namespace quillet;
  return ExportBoundary("Java_doc_NativeWindows_quillet", JNI_FALSE, [&]() -> jboolean {
    const auto printing = LockPrinting();
    if (printing.nested()) {
      // Called from a window of this thread while a report spools (the abort
      // procedure dispatches the thread's messages): a print call inside the
      // one under way would clear its cancel flag and destroy its dialog.
      Trace("Java_doc_NativeWindows_quillet() called while this thread prints, ignored\n");
      return JNI_TRUE;
    }
    // A null array is taken as an empty list.
    const jsize count = args != nullptr ? env->GetArrayLength(args) : 0;
    PrintCall call(count);
    for (jsize i = 0; i < count; ++i) {
      // One element alive at a time: taken, dealt with, given back. A null
      // element names nothing.
      JavaText text(env, static_cast<jstring>(env->GetObjectArrayElement(args, i)));
      if (text.failed()) return JNI_FALSE;  // the virtual machine's exception goes to Java
      if (text.ansi() == nullptr) continue;
      call.Argument(i, text.ansi(), text.exact() ? nullptr : &text.wide(), text.holds_nul());
    }
    return JNI_TRUE;
  });
}
