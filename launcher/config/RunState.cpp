#include "launcher/config/RunState.h"

#include <cwchar>

RunState& runState() {
    static RunState state;
    return state;
}

void setServiceName(const wchar_t* name) {
    wchar_t* buffer = runState().serviceName;
    std::wcsncpy(buffer, name, kBufferChars - 1);
    buffer[kBufferChars - 1] = 0;
}
