#include "launcher/config/windows/Display.h"

#include <windows.h>

namespace {

using GetProcessWindowStationFn = HWINSTA(WINAPI*)();
using GetUserObjectInformationWFn = BOOL(WINAPI*)(HANDLE, int, PVOID, DWORD, LPDWORD);
using GetThreadDesktopFn = HDESK(WINAPI*)(DWORD);

template <class Fn>
Fn bind(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

DisplayFacts processDisplayFacts() {
    DisplayFacts facts;
    // Stays loaded: the message box that may follow needs it too.
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (!user32) return facts;
    auto windowStation = bind<GetProcessWindowStationFn>(user32, "GetProcessWindowStation");
    auto objectInformation = bind<GetUserObjectInformationWFn>(user32, "GetUserObjectInformationW");
    auto threadDesktop = bind<GetThreadDesktopFn>(user32, "GetThreadDesktop");
    if (!windowStation || !objectInformation || !threadDesktop) return facts;

    HWINSTA station = windowStation();
    facts.hasWindowStation = station != nullptr;
    USEROBJECTFLAGS flags = {};
    if (station && objectInformation(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        facts.windowStationVisible = (flags.dwFlags & WSF_VISIBLE) != 0;
    facts.hasDesktop = threadDesktop(GetCurrentThreadId()) != nullptr;
    return facts;
}
