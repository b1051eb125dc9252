// The instance semaphore: every launch claims one; in single-instance mode
// a second start brings the running instance forward and exits.
#pragma once

// Claims the instance.  In single-instance mode, when another instance
// runs, does not return: the process ends with exit code 0.
void claimInstance();

// The claimed semaphore's name; empty before claimInstance.
const char* instanceSemaphoreName();
