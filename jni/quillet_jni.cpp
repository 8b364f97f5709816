// The print entry: quillet(String[] args) walks an argument list that mixes
// options with report names and prints each report with the options given so far.
#include <string>
#include <vector>

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
    bool vm_failed = false;  // the virtual machine could not give a string: its exception is pending
    // A -log option asks for the arguments after it, which it must not empty:
    // each is taken, copied and given back in turn.
    call.SetLaterArguments([&](int index, std::vector<CallArgument>& later) {
      for (jsize j = index + 1; j < count && !vm_failed; ++j) {
        JavaText text(env, static_cast<jstring>(env->GetObjectArrayElement(args, j)));
        vm_failed = text.failed();
        if (text.ansi() != nullptr && !text.holds_nul()) {
          later.push_back({text.ansi(), text.exact() ? std::u16string() : text.wide()});
        }
      }
      return !vm_failed;
    });
    for (jsize i = 0; i < count; ++i) {
      // One element alive at a time: taken, copied, given back, dealt with. A
      // null element names nothing.
      JavaText text(env, static_cast<jstring>(env->GetObjectArrayElement(args, i)));
      if (text.failed()) return JNI_FALSE;  // the virtual machine's exception goes to Java
      if (text.ansi() == nullptr) continue;
      const std::string ansi = text.ansi();
      const std::u16string wide = text.exact() ? std::u16string() : text.wide();
      const bool holds_nul = text.holds_nul();
      const bool exact = text.exact();
      text.GiveBack();
      call.Argument(i, ansi.c_str(), exact ? nullptr : &wide, holds_nul);
      if (vm_failed) return JNI_FALSE;
    }
    call.Finish();
    return JNI_TRUE;
  });
}
