// Reading the launcher's own configuration block at start-up.
#pragma once
#include <windows.h>

#include <cstdint>

// Opens the launcher's own image file for reading (shared read and write).
HANDLE openOwnImage();

// Locates and reads the block behind the last PE section into the
// configuration and message tables, with the language groups of the
// user's locale applied.  Every failure is fatal.
void loadConfigurationBlock();

// The file offset right behind the block, where embedded files start.
uint32_t embeddedDataOffset();
