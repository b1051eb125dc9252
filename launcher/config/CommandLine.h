// Splitting the launcher's command line and recognising its verbs.
#pragma once
#include <string>
#include <vector>

using ArgumentVector = std::vector<std::wstring>;

// Appends the arguments of `text` to `out`.  Blanks separate arguments; a
// double or single quote starts a quoted section that ends at the next
// quote of the same kind (or the end of the text), and the text before the
// quote joins the argument: a"b c"d gives "ab c" and "d".  Backslashes are
// ordinary characters and a tab is not a separator.
void splitCommandLine(const wchar_t* text, ArgumentVector& out);

// The restart marker that the service process appends to its child's
// command line.
constexpr const wchar_t* kRestartMarker = L"__tvr_restart";

// When `argument` begins with "/" or "-", stores the text after it (after
// both characters for "--") in `verb` and returns true.
bool parseVerb(const std::wstring& argument, std::wstring& verb);

enum class Road {
    Usage,           // "?" or "help"
    ServiceCommand,  // install, uninstall, start, stop, status, ...
    Run,             // "run": console run without redirection
    RunRedirect,     // "run-redirect"
    Dispatcher,      // no verb or an unknown one: hand over to the service control manager
};

// The road a verb leads to; compared exactly and case-sensitively.
Road roadForVerb(const std::wstring& verb);
