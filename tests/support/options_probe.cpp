// A test double for the launch up to the JVM: reads the configuration block
// appended to this program, extracts its files, claims the instance and
// assembles the VM options for its own arguments (as a console run: the
// program path first), then prints one option per line.  The JVM version
// for version-specific lines comes from LRX_PROBE_JVM_VERSION.
#include <windows.h>

#include <cstdio>

#include "launcher/config/CommandLine.h"
#include "launcher/config/RunState.h"
#include "launcher/config/windows/ConfigLoader.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Extraction.h"
#include "launcher/launch/windows/SingleInstance.h"
#include "launcher/launch/windows/VmOptions.h"

int wmain() {
    runState().serviceFlag = true;  // as at the launcher's entry
    loadConfigurationBlock();
    readLauncherFlavour();
    if (extractEmbeddedFiles(true) != 0) fatalMessage(1009, "16");
    claimInstance();

    ArgumentVector arguments;
    splitCommandLine(GetCommandLineW(), arguments);
    char version[64];
    DWORD n = GetEnvironmentVariableA("LRX_PROBE_JVM_VERSION", version, sizeof version);
    JavaVMInitArgs* args = assembleVmOptions(arguments, n > 0 && n < sizeof version ? version : nullptr);
    printf("version=%x ignore=%d\n", static_cast<unsigned>(args->version), static_cast<int>(args->ignoreUnrecognized));
    for (jint i = 0; i < args->nOptions; ++i) printf("%s\n", args->options[i].optionString);
    return 0;
}
