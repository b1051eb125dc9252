// The user's locale name ("de_AT", "en", "no_NO_NY") from the Windows user
// settings.
#pragma once
#include <cstddef>

// Writes the locale name of the user's UI language into `out` (9 bytes hold
// every name) and logs it.  A name that does not fit is cut at `size` - 1
// characters; nothing is written when `size` is 0.
void detectLocale(char* out, size_t size);
