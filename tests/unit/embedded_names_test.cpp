#include <gtest/gtest.h>

#include "launcher/config/EmbeddedNames.h"

TEST(EmbeddedNames, RunsOfSeparatorsCountAsOne) {
    EXPECT_EQ(splitEmbeddedNames("a.dll;lib\\b.dll"), (std::vector<std::string>{"a.dll", "lib\\b.dll"}));
    EXPECT_EQ(splitEmbeddedNames(";;a;;;b;"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(splitEmbeddedNames("").empty());
    EXPECT_TRUE(splitEmbeddedNames(";;").empty());
}

TEST(EmbeddedNames, OnlyRelativeNamesInsideTheDirectoryAreSafe) {
    for (const char* ok : {"a.dll", "lib\\b.dll", "lib/b.dll", "..a", "a..", "x\\..y"})
        EXPECT_TRUE(isSafeEmbeddedName(ok)) << ok;
    for (const char* bad : {"", "\\a", "/a", "C:\\a", "C:a", "..\\a", "../a", "lib\\..\\..\\a", "lib\\..",
                            ".", "lib\\.\\a", "\\\\srv\\share\\a", "a:stream", "lib\\\\a"})
        EXPECT_FALSE(isSafeEmbeddedName(bad)) << bad;
}

TEST(EmbeddedNames, DeviceNamesAreNotFiles) {
    for (const char* device : {"CON", "con", "Nul.txt", "AUX.tar.gz", "PRN ", "COM0", "com9.log", "LPT1", "CONIN$",
                               "conout$.x"})
        EXPECT_TRUE(isDeviceName(device)) << device;
    for (const char* file : {"CONS", "xnul", "COM", "COM10", "LPTX", "NUL_", "CON_IN$", "", ".con"})
        EXPECT_FALSE(isDeviceName(file)) << file;
    EXPECT_FALSE(isSafeEmbeddedName("lib\\nul.dll"));
    EXPECT_FALSE(isSafeEmbeddedName("com1\\a.dll"));
    EXPECT_TRUE(isSafeEmbeddedName("lib\\console.dll"));
}
