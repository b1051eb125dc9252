// Enabling one privilege of the process token (SeBackupPrivilege for saving
// registry keys, SeShutdownPrivilege for a reboot, ...).
#pragma once

// Opens the process token for adjusting and querying, looks the privilege up
// by name and enables it. True only when GetLastError is 0 afterwards, so a
// privilege the account lacks fails with ERROR_NOT_ALL_ASSIGNED.
bool enableProcessPrivilege(const wchar_t* name);
