// The names of the files embedded behind the configuration block (key
// 2003, separated by ";"), and which of them may be extracted.
#pragma once
#include <string>
#include <vector>

// Splits at ";"; runs of ";" count as one separator and empty names are
// dropped.
std::vector<std::string> splitEmbeddedNames(const std::string& list);

// A name stays inside the extraction directory when it is relative: no
// drive ("C:"), no leading separator, no "." or ".." component (either
// separator counts, since Windows accepts both), and no component that
// Windows takes for a device.
bool isSafeEmbeddedName(const std::string& name);

// A name component that opens a device instead of a file in any directory:
// CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9, CONIN$ and CONOUT$, in
// any case and also with an extension or trailing blanks ("nul.txt",
// "COM1 ").
bool isDeviceName(const std::string& part);
