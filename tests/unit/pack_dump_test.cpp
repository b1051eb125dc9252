// What `pack dump` writes: the description to a stream, the embedded files
// below a directory.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "tools/pack/DumpFiles.h"
#include "tools/pack/FileIO.h"
#include "tests/unit/PackTempDir.h"

namespace {

LauncherDescription withFiles(const std::vector<std::string>& names) {
    LauncherDescription d;
    for (const std::string& name : names) addEmbeddedFile(d, name, {'x'});
    return d;
}

}  // namespace

TEST(PackDump, StreamWriteFailsWhenTheTextDoesNotGetThrough) {
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    // More than the stream buffers, so that fwrite itself fails.
    EXPECT_FALSE(writeHostStream(full, std::string(100000, 'x')));
    std::clearerr(full);
    EXPECT_FALSE(writeHostStream(full, "[config]\n"));
    std::fclose(full);

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    const std::string text(100000, 'y');
    EXPECT_TRUE(writeHostStream(file, text));
    EXPECT_TRUE(writeHostStream(file, ""));
    EXPECT_EQ(std::ftell(file), 100000);
    std::fclose(file);
}

TEST(PackDump, EmbeddedFilesAreWrittenOnlyWhenEveryNameCanBe) {
    TempDir dir;
    std::string error;
    // A name given twice (ignoring case) or an unsafe one behind good ones:
    // no file is written.
    LauncherDescription twice = withFiles({"a.txt", "lib\\b.txt", "A.TXT"});
    EXPECT_FALSE(writeEmbeddedFiles(twice, dir.path(), dir.path(), error));
    EXPECT_NE(error.find("the name \"A.TXT\" occurs twice"), std::string::npos) << error;
    LauncherDescription unsafe = withFiles({"a.txt", "..\\c.txt"});
    EXPECT_FALSE(writeEmbeddedFiles(unsafe, dir.path(), dir.path(), error));
    EXPECT_NE(error.find("inside the extraction directory"), std::string::npos) << error;
    EXPECT_FALSE(dir.has("a.txt"));
    EXPECT_FALSE(dir.has("lib"));
    EXPECT_TRUE(twice.files[0].source.empty());

    LauncherDescription good = withFiles({"a.txt", "lib\\b.txt"});
    ASSERT_TRUE(writeEmbeddedFiles(good, dir.path() + "/files", dir.path(), error)) << error;
    EXPECT_TRUE(dir.has("files/a.txt"));
    EXPECT_TRUE(dir.has("files/lib/b.txt"));
    EXPECT_EQ(good.files[1].source, "files/lib/b.txt");
}
