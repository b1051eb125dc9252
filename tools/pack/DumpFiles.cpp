#include "tools/pack/DumpFiles.h"

#include "tools/pack/FileIO.h"

namespace {

std::string hostNameOf(const std::string& embeddedName) {
    std::string name = embeddedName;
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

// Why the files cannot all be written below one directory; empty when
// they can.
std::string embeddedFilesProblem(const std::vector<EmbeddedFile>& files) {
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string problem = embeddedNameProblem(files[i].name);
        if (!problem.empty()) return problem;
        for (size_t k = 0; k < i; ++k)
            if (sameNameIgnoringCase(files[k].name, files[i].name))
                return "the name \"" + files[i].name + "\" occurs twice";
    }
    return std::string();
}

// The name of the icon file below DIR: icon.ico, unless an embedded file
// already takes that name.
std::string iconFileName(const LauncherDescription& description) {
    for (int n = 1;; ++n) {
        const std::string name = n == 1 ? "icon.ico" : "icon-" + std::to_string(n) + ".ico";
        bool taken = false;
        for (const EmbeddedFile& f : description.files) taken = taken || sameNameIgnoringCase(f.name, name);
        if (!taken) return name;
    }
}

}  // namespace

bool writeEmbeddedFiles(LauncherDescription& description, const std::string& dir, const std::string& descriptionDir,
                        std::string& error) {
    const std::string problem = embeddedFilesProblem(description.files);
    if (!problem.empty()) {
        error = "cannot write embedded file: " + problem;
        return false;
    }
    for (EmbeddedFile& file : description.files) {
        const std::string path = joinHostPath(dir, hostNameOf(file.name));
        if (!makeHostDirectories(hostDirectoryOf(path), error) || !writeHostFileReplacing(path, file.data, error))
            return false;
        file.source = relativeHostPath(descriptionDir, path);
    }
    return true;
}

bool writeIconFile(LauncherDescription& description, const std::string& dir, const std::string& descriptionDir,
                   std::string& error) {
    const std::string path = joinHostPath(dir, iconFileName(description));
    if (!makeHostDirectories(dir, error) || !writeHostFileReplacing(path, formatIconFile(description.icon), error))
        return false;
    description.iconSource = relativeHostPath(descriptionDir, path);
    return true;
}
