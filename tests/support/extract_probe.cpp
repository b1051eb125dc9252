// A test double for the launcher's start: reads the configuration block
// appended to this program and extracts its embedded files, then prints
// the temporary directories it chose (the wide one as UTF-8), the
// extraction directory and the end position.  With "fail" as argument
// it stops through the fatal path afterwards, as the launch driver does
// when a later step fails.
#include <cstdio>
#include <cwchar>

#include "launcher/config/windows/ConfigLoader.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Extraction.h"
#include "launcher/config/windows/TempDir.h"

#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    loadConfigurationBlock();
    char narrow[6000];
    wchar_t wide[6000];
    char wideUtf8[18000];
    findTempDirNarrow(narrow);
    findTempDirWide(wide, true);
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, wideUtf8, sizeof wideUtf8, nullptr, nullptr);
    printf("tempNarrow=%s\ntempWide=%s\n", narrow, wideUtf8);
    int result = extractEmbeddedFiles(true);
    printf("result=%d\ndir=%s\nend=%u\n", result, extractionDirectory(), extractionEndPosition());
    fflush(stdout);
    if (result != 0) fatalMessage(1009, "16");
    if (argc > 1 && wcscmp(argv[1], L"fail") == 0) fatalExit(1);
    return 0;
}
