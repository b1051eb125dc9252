/* Machine-dependent JNI types for Windows x64 (LLP64).
 *
 * The jni.h of the build machine's JDK is used unchanged, but its Linux
 * jni_md.h assumes LP64 (long is 64-bit) and the System V calling
 * convention.  On Windows x64 long is 32-bit, so jlong must be spelled
 * long long, and the JNI entry points use __stdcall (a no-op on x64, kept
 * for the published declarations).  This directory comes first on the
 * include path of the Windows build. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
