// The JVM search of the launch driver: finds a Java runtime for the
// application and loads its jvm.dll into this process.
//
// Places, in order: the preferred location (.tavra\pref_jre.cfg below the
// application directory, key 10003), the search sequence of key 128, the
// installer location (.tavra\inst_jre.cfg), a fallback pass over the
// application-local entries that accepts any runtime whose java.exe
// exists, earlier installations (HKCU, then HKLM), and the environment
// variables LORIX_JAVA_HOME and TAVRA_JAVA_HOME.  The first candidate that
// passes the version rules and whose jvm.dll loads ends the search.
#pragma once

// True when a jvm.dll is loaded and its JNI_CreateJavaVM is known (see
// JvmEntry.h).  Publishes the JVM home (<java.exe directory>\..) and the
// version of the last candidate that passed its check.  On failure shows
// the message for the kind of place last tried (1016, 1020, 1018, 1005)
// and gives false; the caller ends the launcher.
bool LoadDLL();
