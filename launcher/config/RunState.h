// Process-wide facts about this run, set by the start-up sequence and read
// by the service host and the VM option assembly.
#pragma once
#include "launcher/config/ConfigTables.h"

struct RunState {
    // Key 101 at entry, the argument after a service verb, or the name that
    // the service control manager passes.
    wchar_t serviceName[kBufferChars] = {};
    // Set at entry; cleared only by /run and /run-redirect.
    bool serviceFlag = false;
    // Set only by /run.
    bool noRedirection = false;
};

RunState& runState();

// Copies `name` into the service name, cut to the buffer.
void setServiceName(const wchar_t* name);
