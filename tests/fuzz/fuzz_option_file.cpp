// An options file of arbitrary bytes, read the way the launcher reads one:
// split into lines (marks, UTF-16, pieces), cleaned and processed, with
// every include leading to one of three files that hold the same bytes, so
// that cycles of every shape occur.  No crash, no runaway recursion, and
// no option longer than a line piece.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "launcher/launch/OptionLines.h"
#include "launcher/launch/VmOptionAssembly.h"

namespace {

constexpr size_t kLinePiece = 29999;

class FuzzWorld : public OptionWorld {
public:
    explicit FuzzWorld(std::string bytes) : bytes_(std::move(bytes)) {}
    size_t reads = 0;

    std::string configText(int) override { return ""; }
    std::wstring configWideText(int) override { return L""; }
    int configNumber(int) override { return 0; }
    std::wstring expandWide(const std::wstring& text, bool) override { return text; }
    std::string expandNarrow(const std::string& text) override { return text; }
    std::string narrow(const std::wstring& text) override {
        std::string s;
        for (wchar_t c : text) s += c < 0x100 ? static_cast<char>(c) : '?';
        return s;
    }
    std::string resolve(const std::string& path) override { return path; }
    std::string fullPath(const std::string& path) override { return path; }
    bool exists(const std::string&) override { return false; }
    bool listNames(const std::string&, std::vector<std::string>&) override { return false; }
    bool environmentVariable(const std::string&, std::string&, bool& undefined) override {
        undefined = true;
        return false;
    }
    bool readDefaultOptionsFile(std::string& bytes, std::wstring& path) override {
        bytes = bytes_;
        path = L"a";
        return true;
    }
    // Every include names one of three files, chosen by its length.
    std::wstring resolveInclude(const std::wstring& path, const std::wstring*) override {
        return std::wstring(1, static_cast<wchar_t>(L'a' + path.size() % 3));
    }
    bool readOptionsFile(const std::wstring&, std::string& bytes) override {
        if (++reads > 100000) abort();  // the guard failed to stop a cycle
        bytes = bytes_;
        return true;
    }
    std::wstring fileIdentity(const std::wstring& path) override { return path; }
    void fatal(int, const std::string&) override {}

private:
    std::string bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (std::wstring line : optionFileLines(bytes)) {
        if (line.size() > kLinePiece) abort();
        if (cleanOptionFileLine(line) && (line.empty() || line[0] == L' ' || line[0] == L'#')) abort();
    }
    if (size > 2048) return 0;  // includes multiply the work by the square of the lines
    FuzzWorld world(bytes);
    OptionSink sink;
    processOptionsFile(bytes, L"a", nullptr, sink, world);
    // Three files, each read at most once on any chain of includes.
    if (world.reads > 3 * (bytes.size() + 1) * (bytes.size() + 1)) abort();
    for (const std::string& option : sink.options)
        if (option.empty() || option.size() > kLinePiece) abort();
    return 0;
}
