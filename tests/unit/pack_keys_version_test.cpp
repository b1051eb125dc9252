// Descriptions with configuration keys by name, an icon and a [version]
// section: what they read as, their errors with file and line, and the
// text that formatDescription writes for them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

#include "tools/pack/Description.h"
#include "tools/pack/FileIO.h"
#include "tests/unit/PackTempDir.h"
#include "tools/pack/KnownKeys.h"

namespace {

struct Parsed {
    bool ok = false;
    LauncherDescription description;
    std::string error;
    std::vector<std::string> warnings;
};

Parsed parse(const std::string& text, const std::string& baseDir = ".") {
    Parsed p;
    p.ok = parseDescription(text, "t.launcher", baseDir, p.description, p.error, &p.warnings);
    return p;
}

std::string errorAt(const std::string& text, int line, const std::string& baseDir = ".") {
    Parsed p = parse(text, baseDir);
    EXPECT_FALSE(p.ok) << text;
    const std::string prefix = "t.launcher:" + std::to_string(line) + ": ";
    EXPECT_EQ(p.error.compare(0, prefix.size(), prefix), 0) << p.error;
    return p.error;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A one-image icon file: a 16x16 bitmap of 32 bits per pixel.
std::vector<uint8_t> smallIco() {
    std::vector<uint8_t> image(40 + 16 * 16 * 4 + 16 * 4, 0x11);
    const uint8_t header[16] = {40, 0, 0, 0, 16, 0, 0, 0, 32, 0, 0, 0, 1, 0, 32, 0};
    std::copy(header, header + 16, image.begin());
    std::vector<uint8_t> file = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
    const uint32_t size = static_cast<uint32_t>(image.size());
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(size >> (8 * i)));
    file.insert(file.end(), {22, 0, 0, 0});
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

}  // namespace

TEST(PackKeyNames, NamesAndNumbersNameTheSameKeys) {
    Parsed p = parse("[config]\nservice-name = orvane Service\nmain-class = com.orvane.server.ServerMain\n"
                     "vm-options = -Da \"-Db=1\"\njvm-search = B..\\jre;Y;\nmin-java-version = 1.8\n"
                     "version-prefix-0 = 11\nversion-options-3 = -Xss2m\n2001 = i\n");
    ASSERT_TRUE(p.ok) << p.error;
    const std::vector<ConfigEntry>& c = p.description.block.config;
    ASSERT_EQ(c.size(), 8u);
    EXPECT_EQ(c[0].id, 101);
    EXPECT_EQ(c[0].value, "orvane Service");
    EXPECT_EQ(c[1].id, 122);
    EXPECT_EQ(c[2].id, 123);
    EXPECT_EQ(c[2].value, "-Da \"-Db=1\"");
    EXPECT_EQ(c[3].id, 128);
    EXPECT_EQ(c[4].id, 126);
    EXPECT_EQ(c[5].id, 10201);
    EXPECT_EQ(c[6].id, 10208);
    EXPECT_EQ(c[7].id, 2001);
    EXPECT_TRUE(p.warnings.empty());

    // Every key the dump describes has exactly one name, and it leads back.
    for (int32_t id = 0; id < 20100; ++id) {
        if (configKeyMeaning(id).empty() || (id >= 1000 && id <= 1020) || id == 20017) continue;
        const std::string name = configKeyName(id);
        ASSERT_FALSE(name.empty()) << id;
        int32_t back = 0;
        ASSERT_TRUE(configKeyOfName(name, back)) << name;
        EXPECT_EQ(back, id) << name;
    }
    int32_t id = 0;
    EXPECT_FALSE(configKeyOfName("version-prefix-100", id));
    EXPECT_FALSE(configKeyOfName("version-options-99", id));  // would be key 10400
    EXPECT_FALSE(configKeyOfName("version-prefix-01", id));
    EXPECT_FALSE(configKeyOfName("Service-Name", id));
}

TEST(PackKeyNames, UnknownNamesAndDisagreeingDuplicatesAreErrors) {
    EXPECT_TRUE(contains(errorAt("[config]\n101 = a\nservcie-name = b\n", 3), "unknown key name \"servcie-name\""));
    EXPECT_TRUE(contains(errorAt("[config]\nmain-class = A\n\n122 = B\n", 4),
                         "key 122 is the same key as main-class at line 2, which has a different value"));
    EXPECT_TRUE(contains(errorAt("[config]\n122 = A\nmain-class \"B\"\n", 3),
                         "main-class is the same key as key 122 at line 2"));
    // The same value twice is no contradiction; a number repeated stays
    // allowed as before (the launcher uses the last).
    Parsed p = parse("[config]\nmain-class = A\n122 = A\n101 = x\n101 = y\n");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.description.block.config.size(), 4u);
    // Messages stay numbered.
    EXPECT_TRUE(contains(errorAt("[messages]\ncaption = Error\n", 2), "id \"caption\" is not a 32-bit number"));
}

TEST(PackKeyNames, DumpWritesNumbersWithNamesOrNames) {
    Parsed p = parse("[config]\nservice-name = orvane Service\n150 = x\n10203 = -Xmx1g\n");
    ASSERT_TRUE(p.ok) << p.error;
    const std::string numbers = formatDescription(p.description);
    EXPECT_TRUE(contains(numbers, "# service-name: service name and display name\n101 = orvane Service\n"));
    EXPECT_TRUE(contains(numbers, "\n150 = x\n"));
    EXPECT_TRUE(contains(numbers, "# version-prefix-1: version-specific entry 1: version prefix\n10203 = -Xmx1g\n"));
    FormatOptions options;
    options.keyNames = true;
    const std::string names = formatDescription(p.description, options);
    EXPECT_TRUE(contains(names, "# 101: service name and display name\nservice-name = orvane Service\n"));
    EXPECT_TRUE(contains(names, "\n150 = x\n"));
    for (const std::string& text : {numbers, names}) {
        Parsed back = parse(text);
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(serializeBlock(back.description.block), serializeBlock(p.description.block));
    }
}

TEST(PackVersionSection, SettingsAndTheirNumbers) {
    Parsed p = parse("[version]\nfile-version = 3.2.2.0\nproduct-version = 3.2\nproduct-name = orvane\n"
                     "legal-copyright = \xC2\xA9 2026 Orvane\nfile-description \" padded \"\ninternal-name =\n");
    ASSERT_TRUE(p.ok) << p.error;
    const LauncherDescription& d = p.description;
    EXPECT_TRUE(d.hasVersion);
    EXPECT_EQ(d.version.fileVersion[2], 2u);
    EXPECT_EQ(d.version.productVersion[1], 2u);
    EXPECT_EQ(d.version.productVersion[2], 0u);
    EXPECT_EQ(d.version.get(VersionField::FileVersion), u"3.2.2.0");
    EXPECT_EQ(d.version.get(VersionField::LegalCopyright), u"\u00A9 2026 Orvane");
    EXPECT_EQ(d.version.get(VersionField::FileDescription), u" padded ");
    EXPECT_TRUE(d.version.has(VersionField::InternalName));
    EXPECT_FALSE(d.version.has(VersionField::CompanyName));

    // Written back in the same forms.
    const std::string text = formatDescription(d);
    EXPECT_TRUE(contains(text, "\n[version]\nfile-description \" padded \"\nfile-version = 3.2.2.0\n"
                               "internal-name =\nlegal-copyright = \xC2\xA9 2026 Orvane\n"));
    Parsed back = parse(text);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.description.version, d.version);

    // An empty section still states version information (all absent).
    Parsed empty = parse("[version]\n");
    ASSERT_TRUE(empty.ok);
    EXPECT_TRUE(empty.description.hasVersion);
    EXPECT_FALSE(parse("[config]\n").description.hasVersion);
}

TEST(PackVersionSection, BadVersionsAreErrorsAtTheirLine) {
    EXPECT_TRUE(contains(errorAt("[version]\nproduct-name = x\nfile-version = 1.2.3.4.5\n", 3),
                         "file-version \"1.2.3.4.5\" has more than four parts"));
    EXPECT_TRUE(contains(errorAt("[version]\nproduct-version = 3.2-beta\n", 2),
                         "product-version \"3.2-beta\" has the part \"2-beta\", which is not a number"));
    EXPECT_TRUE(contains(errorAt("[version]\nfile-version = 70000\n", 2), "above 65535"));
    EXPECT_TRUE(contains(errorAt("[version]\nfile-version =\n", 2), "has an empty part"));
    EXPECT_TRUE(contains(errorAt("[version]\nproduct-name = a\nproduct-name = b\n", 3), "product-name is given twice"));
    EXPECT_TRUE(contains(errorAt("[version]\ncomments = x\n", 2), "unknown version setting \"comments\""));
    EXPECT_TRUE(contains(errorAt("[version]\ncompany-name \"a\\x00b\"\n", 2), "holds a NUL character"));
    EXPECT_TRUE(contains(errorAt("[version]\ncompany-name = " + std::string(2001, 'x') + "\n", 2),
                         "has 2001 characters; at most 2000"));
    EXPECT_TRUE(contains(errorAt("[version]\ncompany-name\n", 2), "expected \"=\""));
}

TEST(PackIconSetting, IconIsReadRelativeToTheDescription) {
    TempDir dir;
    dir.write("app.ico", smallIco());
    Parsed p = parse("[launcher]\nicon = app.ico\n", dir.path());
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.description.hasIcon);
    EXPECT_EQ(p.description.iconSource, "app.ico");
    ASSERT_EQ(p.description.icon.images.size(), 1u);
    EXPECT_EQ(p.description.icon.images[0].bitCount, 32u);
    EXPECT_TRUE(contains(formatDescription(p.description), "[launcher]\nicon = app.ico\n"));

    dir.write("text.ico", std::string("hi\n"));
    EXPECT_TRUE(contains(errorAt("[launcher]\nheader1 = 0\nicon = text.ico\n", 3, dir.path()),
                         "icon \"text.ico\": not an icon file"));
    EXPECT_TRUE(contains(errorAt("[launcher]\nicon = missing.ico\n", 2, dir.path()), "cannot read icon \"missing.ico\""));
    EXPECT_TRUE(contains(errorAt("[launcher]\nicon =\n", 2, dir.path()), "icon needs the path"));
    EXPECT_TRUE(
        contains(errorAt("[launcher]\nicon = app.ico\nicon = app.ico\n", 3, dir.path()), "icon is given twice"));
}
