#include "launcher/config/windows/Errors.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/MessageFormat.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/Console.h"
#include "launcher/config/windows/Display.h"
#include "launcher/config/windows/LogFile.h"
#include "launcher/config/windows/TempDir.h"
#include "launcher/config/windows/UserFunctions.h"

void showError(const wchar_t* text) {
    static wchar_t shown[kBufferChars];
    const wchar_t* log = logFilePath();
    if (log) {
        wchar_t longPath[kBufferChars];
        DWORD n = GetLongPathNameW(log, longPath, kBufferChars);
        formatWide(shown, kBufferChars, L"%s\n\nLog: %s", text, n > 0 && n < kBufferChars ? longPath : log);
    } else {
        formatWide(shown, kBufferChars, L"%s", text);
    }

    // A box in a process nobody can see would wait forever; there, and
    // without USER32, the text goes to standard error as without the flag.
    bool reachable = messageBoxFlag() && messageBoxReachable(processDisplayFacts());
    if (messageBoxFlag() && !reachable) logError(L"%s", text);
    const UserFunctions* user = reachable ? userFunctions() : nullptr;
    if (user) {
        wchar_t caption[kBufferChars];
        messageOrConfigText(kCaptionMessage, caption);
        user->messageBox(nullptr, shown, caption, MB_ICONERROR | MB_OK);
    } else {
        printWide(stderr, shown);
        printWide(stderr, L"\n");
    }
}

void showMessage(int id, const wchar_t* argument) {
    wchar_t text[kBufferChars];
    messageOrConfigText(id, text);
    fillPlaceholder(text, kBufferChars, argument);
    showError(text);
}

void showMessage(int id, const char* argument) {
    if (!argument) return showMessage(id, static_cast<const wchar_t*>(nullptr));
    wchar_t wide[kBufferChars];
    size_t n = mbstowcs(wide, argument, kBufferChars - 1);
    wide[n == static_cast<size_t>(-1) ? 0 : n] = 0;
    showMessage(id, wide);
}

void fatalExit(int exitCode) {
    const char* dir = extractionDirectory();
    if (dir[0]) {
        emptyDirectory(dir, true);
        RemoveDirectoryA(dir);
    }
    ExitProcess(static_cast<UINT>(exitCode));
}

void fatalText(const wchar_t* text) {
    showError(text);
    fatalExit(1);
}

void fatalMessage(int id, const wchar_t* argument) {
    showMessage(id, argument);
    fatalExit(1);
}

void fatalMessage(int id, const char* argument) {
    showMessage(id, argument);
    fatalExit(1);
}
