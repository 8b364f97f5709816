// The print entry: quillet(String[] args) walks an argument list that mixes
// options with report names and prints each report with the options given so far.
#include <string>
#include <vector>

#include "doc_NativeWindows.h"
#include "jni/jni_strings.h"
#include "print/options.h"
#include "print/print_driver.h"
#include "print/print_entry.h"
#include "print/print_job.h"
#include "print/printer_setup.h"
#include "trace/trace.h"

namespace quillet {
namespace {

void HandleArgument(PrintJob& job, const char* text) {
  if (IsOptionArgument(text)) {
    // Parse_Arg cuts quotes and list tokens in place: give it a copy of its own,
    // never the virtual machine's bytes.
    std::vector<char> option(text + 1, text + std::char_traits<char>::length(text) + 1);
    Parse_Arg(job, option.data());
    return;
  }
  const std::string path = ReportPathFromArgument(text);
  job.report_path = path.c_str();
  PrintReport(job);
  DisposeReport(job);
  job.report_path = nullptr;
}

}  // namespace
}  // namespace quillet

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_quillet(JNIEnv* env, jclass, jobjectArray args) {
  using namespace quillet;
  // A null array is taken as an empty list.
  const jsize count = args != nullptr ? env->GetArrayLength(args) : 0;

  PrintJob job;  // every field zero or empty, copies 1, portrait
  GetDevMode();
  SortOptionTable();
  Trace("argc = [%d]\n", static_cast<int>(count));

  for (jsize i = 0; i < count; ++i) {
    // One element alive at a time: taken, dealt with, given back. A null element
    // names nothing.
    Utf8Chars text(env, static_cast<jstring>(env->GetObjectArrayElement(args, i)));
    if (text.bytes() == nullptr) continue;
    Trace("argv[%d] = [%s]\n", static_cast<int>(i), text.bytes());
    HandleArgument(job, text.bytes());
  }
  return JNI_TRUE;
}
