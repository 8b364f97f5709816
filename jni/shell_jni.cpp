// launch_document, shellexec and read_registry_string.
#include "doc_NativeWindows.h"

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_launch_1document(JNIEnv*, jclass, jstring, jstring) {
  return JNI_TRUE;
}

extern "C" JNIEXPORT jboolean JNICALL Java_doc_NativeWindows_shellexec(JNIEnv*, jclass, jobjectArray) {
  return JNI_TRUE;
}

extern "C" JNIEXPORT jstring JNICALL Java_doc_NativeWindows_read_1registry_1string(JNIEnv* env, jclass, jint, jstring,
                                                                                    jstring) {
  return env->NewStringUTF("");
}
