// The print entry: quillet(String[] args).
#include "doc_NativeWindows.h"

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_quillet(JNIEnv*, jclass, jobjectArray) {
  return JNI_TRUE;
}
