// Machine-dependent JNI definitions for 32-bit Windows (MinGW-w64).
#ifndef QUILLET_JNI_MD_H
#define QUILLET_JNI_MD_H

// The exported names come from jni/quillet.def alone: a dllexport here would add
// a second, undecorated-underscore copy of every native method to the export table.
#define JNIEXPORT
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
