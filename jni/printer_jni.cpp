// quillet_setup and get_printer_name.
#include "doc_NativeWindows.h"

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_quillet_1setup(JNIEnv*, jclass) {
  return JNI_FALSE;
}

extern "C" JNIEXPORT jstring JNICALL Java_doc_NativeWindows_get_1printer_1name(JNIEnv* env, jclass) {
  return env->NewStringUTF("");
}
