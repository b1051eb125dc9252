// pack: writes a launcher from a generic launcher image and a launcher
// description, and (pack dump) prints the description of a packed launcher.
// Exit codes: 0 done, 1 an error in the input (nothing written), 2 a wrong
// command line.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/pack/Description.h"
#include "tools/pack/DumpFiles.h"
#include "tools/pack/FileIO.h"
#include "tools/pack/Image.h"
#include "tools/pack/TextForms.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char* const kUsage =
    "usage: pack [--image GENERIC.exe] DESCRIPTION OUT.exe\n"
    "       pack dump LAUNCHER.exe [--files DIR] [--names] [-o FILE]\n"
    "\n"
    "pack writes OUT.exe: the image cut behind its last section, the configuration\n"
    "block of DESCRIPTION and its embedded files.  The image is --image, or else the\n"
    "image line of the description's [launcher] section.\n"
    "pack dump prints the description of a packed launcher (to FILE with -o); with\n"
    "--files it writes the embedded files and the icon into DIR and refers to them;\n"
    "with --names it writes configuration keys by name instead of by number.\n"
    "The description format is explained in tools/pack/README.md.\n";

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

int usageError(const std::string& message) {
    std::fprintf(stderr, "pack: %s\n%s", message.c_str(), kUsage);
    return kUsageError;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return kFailed;
}

void printWarnings(const std::vector<std::string>& warnings, const std::string& prefix) {
    for (const std::string& w : warnings) std::fprintf(stderr, "%s%s\n", prefix.c_str(), w.c_str());
}

// Splits the arguments into positional ones, the values of the options
// named in `withValue` and the flags named in `flags`.  Returns false (with
// a message) for an unknown option or a missing value.
bool splitArguments(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
                    std::vector<std::string>& positional, std::vector<std::string>& values, std::string& error,
                    const std::vector<std::string>& flags = {}, std::vector<bool>* flagsSet = nullptr) {
    values.assign(withValue.size(), std::string());
    if (flagsSet) flagsSet->assign(flags.size(), false);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-') {
            positional.push_back(a);
            continue;
        }
        size_t flag = 0;
        while (flag < flags.size() && flags[flag] != a) ++flag;
        if (flag < flags.size()) {
            (*flagsSet)[flag] = true;
            continue;
        }
        size_t option = 0;
        while (option < withValue.size() && withValue[option] != a) ++option;
        if (option == withValue.size()) {
            error = "unknown option " + a;
            return false;
        }
        if (i + 1 == args.size()) {
            error = a + " needs a value";
            return false;
        }
        values[option] = args[++i];
    }
    return true;
}

bool readImage(const std::string& path, std::vector<uint8_t>& image, std::string& error) {
    std::string why;
    if (!readHostFile(path, image, why)) {
        error = path + ": cannot read: " + why;
        return false;
    }
    return true;
}

int packCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional, values;
    std::string error;
    if (!splitArguments(args, {"--image"}, positional, values, error)) return usageError(error);
    if (positional.size() != 2) return usageError("expected DESCRIPTION and OUT.exe");
    const std::string& descriptionPath = positional[0];
    const std::string& outPath = positional[1];

    LauncherDescription description;
    std::vector<std::string> warnings;
    const bool parsed = loadDescription(descriptionPath, description, error, &warnings);
    printWarnings(warnings, "");
    if (!parsed) return failure(error);

    const std::string imagePath = values[0].empty() ? description.image : values[0];
    if (imagePath.empty())
        return failure(descriptionPath + ": no image: give --image GENERIC.exe or an image line in [launcher]");
    std::vector<uint8_t> image;
    uint32_t imageEnd = 0;
    if (!readImage(imagePath, image, error)) return failure(error);
    if (!findImageEnd(image, imageEnd, error)) return failure(imagePath + ": " + error);

    std::vector<uint8_t> launcher;
    warnings.clear();
    const bool packed = packLauncher(image, description, launcher, error, &warnings);
    printWarnings(warnings, "pack: warning: ");
    if (!packed) return failure(descriptionPath + ": " + error);
    if (!writeHostFileReplacing(outPath, launcher, error)) return failure("pack: " + error);
    return kDone;
}

int dumpCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional, values;
    std::vector<bool> flags;
    std::string error;
    if (!splitArguments(args, {"--files", "-o"}, positional, values, error, {"--names"}, &flags))
        return usageError(error);
    FormatOptions options;
    options.keyNames = flags[0];
    if (positional.size() != 1) return usageError("expected one LAUNCHER.exe");
    const std::string& launcherPath = positional[0];
    const std::string& filesDir = values[0];
    const std::string& outPath = values[1];

    std::vector<uint8_t> launcher;
    if (!readImage(launcherPath, launcher, error)) return failure(error);
    LauncherDescription description;
    std::vector<std::string> warnings;
    const bool read = readLauncher(launcher, description, error, &warnings);
    printWarnings(warnings, launcherPath + ": warning: ");
    if (!read) return failure(launcherPath + ": " + error);

    if (!description.files.empty() && filesDir.empty())
        std::fprintf(stderr,
                     "%s: warning: %zu embedded files are not written out (give --files DIR); "
                     "the description does not pack to the same launcher\n",
                     launcherPath.c_str(), description.files.size());
    if (description.hasIcon && filesDir.empty())
        std::fprintf(stderr,
                     "%s: warning: the icon is not written out (give --files DIR); "
                     "the description does not pack to the same launcher\n",
                     launcherPath.c_str());
    std::string descriptionDir = outPath.empty() ? "." : hostDirectoryOf(outPath);
    if (descriptionDir.empty()) descriptionDir = ".";
    if (!description.files.empty() && !filesDir.empty() &&
        !writeEmbeddedFiles(description, filesDir, descriptionDir, error))
        return failure(launcherPath + ": " + error);
    if (description.hasIcon && !filesDir.empty() && !writeIconFile(description, filesDir, descriptionDir, error))
        return failure(launcherPath + ": " + error);

    const std::string text = formatDescription(description, options);
    if (outPath.empty())
        return writeHostStream(stdout, text) ? kDone : failure("pack: cannot write the description");
    if (!writeHostFileReplacing(outPath, std::vector<uint8_t>(text.begin(), text.end()), error))
        return failure("pack: " + error);
    return kDone;
}

int runPack(const std::vector<std::string>& args) {
    if (args.empty()) return usageError("nothing to do");
    if (args[0] == "-h" || args[0] == "--help") {
        std::fputs(kUsage, stdout);
        return kDone;
    }
    if (args[0] == "dump") return dumpCommand(std::vector<std::string>(args.begin() + 1, args.end()));
    return packCommand(args);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    // Descriptions are written as they are, with "\n" line ends, on every host.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::u16string units;
        for (const wchar_t* c = argv[i]; *c; ++c) units.push_back(static_cast<char16_t>(*c));
        args.push_back(utf8FromUtf16(units));
    }
    return runPack(args);
}
#else
int main(int argc, char** argv) { return runPack(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
