// The names of the files embedded behind the configuration block (key
// 2003, separated by ";"), and which of them may be extracted.
#pragma once
#include <string>
#include <vector>

// Splits at ";"; runs of ";" count as one separator and empty names are
// dropped.
std::vector<std::string> splitEmbeddedNames(const std::string& list);

// A name stays inside the extraction directory when it is relative: no
// drive ("C:"), no leading separator, and no "." or ".." component (either
// separator counts, since Windows accepts both).
bool isSafeEmbeddedName(const std::string& name);
