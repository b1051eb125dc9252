// Runtimes named by the registry: the JavaSoft keys that Java installers
// write, the runtimes located earlier (HKCU and HKLM
// SOFTWARE\brightmoor\lorix\locatedjvms\, one subkey per java.exe path
// with "/" for "\"), and earlier installations of this application
// (SOFTWARE\brightmoor\tavra\installations, value named by the
// application id: directories separated by ";").  Read-only.
#pragma once
#include <windows.h>

#include "launcher/jvmsearch/Versions.h"

// A runtime found by a lookup: the accepted java.exe (6000 bytes) and the
// version it reported (2000 bytes).
struct FoundRuntime {
    char* javaExe;
    char* version;
};

// Search-sequence entry Y: the JavaSoft keys (unless configuration key 165
// is set) and the located runtimes (with key 165 only paths containing
// "tvr_jres").  With both found, JavaSoft wins only with a newer version.
bool lookupRegistryJvm(const VersionVector& minimum, const VersionVector& maximum, FoundRuntime found);

// The first usable runtime in "<directory>\jre" of the installations that
// `root` (HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE) records for the
// application id of configuration key 160.  An empty id reads nothing.
bool lookupPreviousInstallation(HKEY root, const VersionVector& minimum, const VersionVector& maximum,
                                FoundRuntime found);
