// USER32, loaded on first use.  Importing it would load it (and gdi32 with
// it) into every start and take a share of the session's desktop heap,
// which is small in the services' session; the launcher needs it only to
// show a message box or to bring a running instance to the front.
#pragma once
#include <windows.h>

struct UserFunctions {
    decltype(&MessageBoxW) messageBox;
    decltype(&EnumWindows) enumWindows;
    decltype(&GetWindowThreadProcessId) windowThreadProcessId;
    decltype(&IsWindowVisible) isWindowVisible;
    decltype(&IsIconic) isIconic;
    decltype(&ShowWindow) showWindow;
    decltype(&SetForegroundWindow) setForegroundWindow;
    decltype(&GetLastActivePopup) lastActivePopup;
};

// Loads user32.dll and binds the functions above on the first call; null
// when the library or one of them is missing, which leaves the caller to
// do without a window.
const UserFunctions* userFunctions();
