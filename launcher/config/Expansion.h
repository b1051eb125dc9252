// Variable expansion in configuration values and VM options: the fixed
// launcher variables in their order, then every environment variable as
// "${Name}" and "${NAME}".  Everything else stays as it is.
#pragma once
#include <cstddef>
#include <string>

// What a fixed variable stands for.
enum class VariableValue { LauncherDirectory, ExtractionDirectory, PathListSeparator, JvmHome, TempDirectory };

struct FixedVariable {
    const char* pattern;
    VariableValue value;
};

// The 21 fixed variables in the order in which they are replaced.
extern const FixedVariable kFixedVariables[21];

// Where the values come from; the Windows side supplies the real ones,
// tests their own.  A value is asked for only when its pattern occurs.
template <class Ch> class VariableSource {
public:
    virtual ~VariableSource() = default;
    virtual std::basic_string<Ch> value(VariableValue which) = 0;
    // The process environment block: "Name=Value" entries, each terminated
    // by a NUL, the block by an empty entry.
    virtual const Ch* environmentBlock() = 0;
};

// Replaces every occurrence of `pattern` in `text` (a buffer of `capacity`
// characters) by `value`, continuing behind each inserted value so that a
// value containing the pattern is not expanded again.  An occurrence whose
// replacement would not fit is left as it is, with a log line.
template <class Ch>
void replaceVariable(Ch* text, size_t capacity, const std::basic_string<Ch>& pattern,
                     const std::basic_string<Ch>& value);

// The whole expansion, in place.
template <class Ch> void expandVariables(Ch* text, size_t capacity, VariableSource<Ch>& source);
