#include "launcher/windows/LaunchDriver.h"

#include <windows.h>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/Console.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Extraction.h"
#include "launcher/jvmsearch/windows/JvmLibrary.h"
#include "launcher/jvmsearch/windows/JvmEntry.h"
#include "launcher/jvmsearch/windows/JvmSearch.h"
#include "launcher/launch/windows/JavaVMLauncher.h"
#include "launcher/launch/windows/SingleInstance.h"

void runApplication(ArgumentVector& arguments, bool childRole) {
    if (extractEmbeddedFiles(true) != 0) fatalMessage(kInternalErrorMessage, "16");
    addNativeLibraryPath();

    if (childRole) ignoreConsoleEvents();
    claimInstance();
    if (!LoadDLL()) fatalExit(1);
    // Their own messages have been shown when either step fails.
    if (!launchJavaApplication(arguments, createJavaVMFunction(), jvmVersion())) fatalExit(1);
}
