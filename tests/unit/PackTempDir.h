// A scratch directory below /tmp for the packaging tool's host tests,
// removed with everything in it.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "tools/pack/FileIO.h"

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/pack_test_XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    bool has(const std::string& name) const { return access((path_ + "/" + name).c_str(), F_OK) == 0; }
    // Writes the file below the directory, making its parent directories.
    void write(const std::string& name, const std::vector<uint8_t>& content) const {
        std::string error;
        makeHostDirectories(hostDirectoryOf(path_ + "/" + name), error);
        ASSERT_TRUE(writeHostFileReplacing(path_ + "/" + name, content, error)) << error;
    }
    void write(const std::string& name, const std::string& content) const {
        write(name, std::vector<uint8_t>(content.begin(), content.end()));
    }

private:
    std::string path_;
};
