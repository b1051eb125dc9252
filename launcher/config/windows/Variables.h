// Variable expansion with the launcher's real values (see Expansion.h).
#pragma once
#include <cstddef>

#include "launcher/config/ConfigTables.h"

// In place.  With `ansiSafe`, the directories are taken in their narrow
// (ANSI code page) forms, for values that end up in narrow APIs or in the
// JVM's option strings.
void expandVariablesWide(wchar_t* text, bool ansiSafe, size_t capacity = kBufferChars);
void expandVariablesNarrow(char* text, size_t capacity = kBufferChars);

// The home directory of the selected JVM, published by the JVM search;
// empty before one is selected.
void publishJvmHome(const char* home);
const char* jvmHome();
