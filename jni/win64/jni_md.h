// Machine-dependent JNI definitions for 64-bit Windows (MinGW-w64, x64).
#ifndef QUILLET_JNI_MD_H
#define QUILLET_JNI_MD_H

// x64 has one calling convention and undecorated names; as on 32-bit, the
// exported names come from the module-definition file (jni/quillet64.def) alone.
#define JNIEXPORT
#define JNIIMPORT __declspec(dllimport)
#define JNICALL

// long stays 32 bits on 64-bit Windows, so jint is the same type in both builds.
typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
