// Extracting the files embedded behind the configuration block into a new
// per-run directory.
#pragma once
#include <cstdint>

// Makes a new, unique directory in the temporary directory and stores its
// name as the extraction directory; fatal (message 1009, "7") after 10
// failed attempts.
void createExtractionDirectory();

// Extracts the embedded files (key 2002 = count, key 2003 = names).
// Returns 0, or 1 for a read error and 2 for a write error of the first
// failing file.  A file that cannot be created, or a name that would leave
// the extraction directory, is fatal (message 1009, "11").
int extractEmbeddedFiles(bool createDirectory);

// The image offset behind the last embedded file read; 0 before extraction.
uint32_t extractionEndPosition();
