// Filling the one placeholder of a message text.
#pragma once
#include <cstddef>

// Replaces the first "{0}" in `text` (a buffer of `size` characters) by
// `argument`; later occurrences stay.  A text without "{0}" or a null
// argument leaves the text unchanged.  The result is cut to fit the buffer.
void fillPlaceholder(wchar_t* text, size_t size, const wchar_t* argument);
