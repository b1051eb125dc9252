#include "launcher/config/windows/LaunchDriver.h"

#include "launcher/config/Log.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Extraction.h"

namespace {

constexpr int kInternalErrorMessage = 1009;

}  // namespace

void runApplication(ArgumentVector& arguments, bool childRole) {
    if (extractEmbeddedFiles(true) != 0) fatalMessage(kInternalErrorMessage, "16");

    // The native library path, the instance claim, the JVM search and the
    // JVM launch are not part of this build yet.
    logError(L"launch driver: running the application is not available in this build (%d arguments, child role %d)",
             static_cast<int>(arguments.size()), childRole ? 1 : 0);
    fatalExit(1);
}
