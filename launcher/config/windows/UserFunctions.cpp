#include "launcher/config/windows/UserFunctions.h"

#include "launcher/config/Log.h"

namespace {

template <class Function> bool bind(HMODULE library, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (!slot) logLine(L"user32 has no %S", name);
    return slot != nullptr;
}

bool bindAll(HMODULE library, UserFunctions& f) {
    return bind(library, "MessageBoxW", f.messageBox) && bind(library, "EnumWindows", f.enumWindows) &&
           bind(library, "GetWindowThreadProcessId", f.windowThreadProcessId) &&
           bind(library, "IsWindowVisible", f.isWindowVisible) && bind(library, "IsIconic", f.isIconic) &&
           bind(library, "ShowWindow", f.showWindow) &&
           bind(library, "SetForegroundWindow", f.setForegroundWindow) &&
           bind(library, "GetLastActivePopup", f.lastActivePopup);
}

}  // namespace

const UserFunctions* userFunctions() {
    static UserFunctions functions;
    static bool tried = false, bound = false;
    if (!tried) {
        tried = true;
        // A known DLL: always the system's copy, whatever the search path.
        // It stays loaded for the rest of the process.
        HMODULE library = LoadLibraryW(L"user32.dll");
        if (!library) logLine(L"cannot load user32.dll, error %d", static_cast<int>(GetLastError()));
        bound = library && bindAll(library, functions);
    }
    return bound ? &functions : nullptr;
}
