// What the end-to-end tests share: the programs under test, scratch
// directories, and launchers packed in-process from the sample description.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tools/pack/Description.h"

std::string narrowUtf8(const std::wstring& wide);
std::wstring wideUtf8(const std::string& utf8);

// A directory of its own for one test, removed with everything in it.
class ScratchDir {
public:
    explicit ScratchDir(const wchar_t* name);
    ~ScratchDir();
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }
    // Names directly inside, sorted.
    std::vector<std::wstring> list(const wchar_t* pattern = L"*") const;

private:
    std::wstring path_;
};

// The sample application's layout in `dir`: bin, tmp, lib with lib\common
// and lib\server, and a Java 1.8.0_301 in jre whose jre\bin\server\jvm.dll
// is the stub JVM.
void layOutSampleApplication(const ScratchDir& dir);

// The generic launcher and the extraction probe, as built.
std::wstring launcherImagePath();
std::wstring probeImagePath();
std::wstring instanceProbeImagePath();
std::wstring optionsProbeImagePath();

// The sample description of the repository.
LauncherDescription sampleDescription();

// Packs `description` onto `image` and writes it to `exePath`.
void packTo(const std::wstring& exePath, const LauncherDescription& description,
            const std::wstring& image = launcherImagePath());

std::vector<uint8_t> readBytes(const std::wstring& path);
std::string readText(const std::wstring& path);
void writeBytes(const std::wstring& path, const std::vector<uint8_t>& data);
bool fileExists(const std::wstring& path);

// "\"exe\" args".
std::wstring commandLine(const std::wstring& exe, const std::wstring& arguments);
