// The result codes of the proxy natives. Free of Windows so that they are
// unit-tested on the host.
#pragma once
#include <cstdint>

// The WinHTTP functions could not all be bound.
const int32_t kProxyFunctionsMissing = 100000;

// The session for the detection could not be opened: 0x100000000 + error.
inline int64_t proxySessionFailure(uint32_t error) { return (int64_t{1} << 32) + error; }

// The proxy for the URL could not be determined: 0x200000000 + error.
inline int64_t proxyLookupFailure(uint32_t error) { return (int64_t{2} << 32) + error; }
