// The native registration table: its own shape, the JNI export names built
// from it, and the contract with the Java classes: the natives that the
// compiled tvrruntime.jar declares (its javap -s -p listing, built by
// java/CMakeLists.txt) must be exactly the rows of the table.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "native/frame/RegistrationTable.h"

#ifndef TVR_JAVAP_FILE
#error "TVR_JAVAP_FILE must name the javap listing of tvrruntime.jar"
#endif

namespace {

const char kPackageDots[] = "com.tavra.runtime.installer.platform.win32.";

struct JavaMember {
    std::string name;  // "<init>" for constructors
    std::string descriptor;
    bool isStatic = false;
    bool isNative = false;
};

// Class name (dotted, "$" for nested classes) to its members.
using JavaClassModel = std::map<std::string, std::vector<JavaMember>>;

bool hasWord(const std::string& text, const std::string& word) {
    std::istringstream words(text);
    std::string w;
    while (words >> w)
        if (w == word) return true;
    return false;
}

// "public final class a.b.C {" gives "a.b.C"; other lines give "".
std::string classHeaderName(const std::string& line) {
    if (line.empty() || line[0] == ' ' || line.back() != '{') return "";
    for (const char* kind : {"class ", "interface ", "enum "}) {
        size_t at = line.find(kind);
        if (at == std::string::npos) continue;
        size_t start = at + std::strlen(kind);
        size_t end = line.find_first_of(" <{", start);
        return line.substr(start, end - start);
    }
    return "";
}

// A member line of javap: "  public static native int f(int);" or a field.
// Returns false for lines that are not members ("static {};" included).
bool parseMemberLine(const std::string& line, const std::string& className, JavaMember& member) {
    if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') return false;
    size_t paren = line.find('(');
    if (paren == std::string::npos) return false;  // field or static initialiser
    std::string head = line.substr(2, paren - 2);
    size_t space = head.rfind(' ');
    std::string name = space == std::string::npos ? head : head.substr(space + 1);
    member.name = name == className ? "<init>" : name;
    member.isStatic = hasWord(head, "static");
    member.isNative = hasWord(head, "native");
    return true;
}

JavaClassModel parseJavap(std::istream& in) {
    JavaClassModel model;
    std::string line, current;
    JavaMember pending;
    bool havePending = false;
    while (std::getline(in, line)) {
        std::string header = classHeaderName(line);
        if (!header.empty()) {
            current = header;
            model[current];
            continue;
        }
        const std::string descriptorTag = "    descriptor: ";
        if (havePending && line.compare(0, descriptorTag.size(), descriptorTag) == 0) {
            pending.descriptor = line.substr(descriptorTag.size());
            model[current].push_back(pending);
            havePending = false;
            continue;
        }
        if (!current.empty()) havePending = parseMemberLine(line, current, pending);
    }
    return model;
}

JavaClassModel loadJavapListing() {
    std::ifstream in(TVR_JAVAP_FILE);
    EXPECT_TRUE(in.good()) << "cannot read " << TVR_JAVAP_FILE;
    return parseJavap(in);
}

const JavaMember* findMember(const JavaClassModel& model, const std::string& className, const std::string& name,
                             const std::string& descriptor) {
    auto cls = model.find(className);
    if (cls == model.end()) return nullptr;
    for (const JavaMember& m : cls->second)
        if (m.name == name && m.descriptor == descriptor) return &m;
    return nullptr;
}

// "static a.b.Class.method(sig)ret" for every native the jar declares; the
// natives are static, and an instance native shows up without "static ".
std::set<std::string> javaNatives(const JavaClassModel& model) {
    std::set<std::string> natives;
    for (const auto& [className, members] : model)
        for (const JavaMember& m : members)
            if (m.isNative) natives.insert((m.isStatic ? "static " : "") + className + "." + m.name + m.descriptor);
    return natives;
}

void addRows(const NativeClassRows* classes, size_t count, std::set<std::string>& out) {
    for (size_t c = 0; c < count; ++c)
        for (size_t r = 0; r < classes[c].rowCount; ++r)
            out.insert(std::string("static ") + kPackageDots + classes[c].className + "." + classes[c].rows[r].name +
                       classes[c].rows[r].signature);
}

std::set<std::string> tableNatives() {
    std::set<std::string> natives;
    addRows(registrationClasses(), registrationClassCount(), natives);
    addRows(exportOnlyClasses(), exportOnlyClassCount(), natives);
    return natives;
}

std::string difference(const std::set<std::string>& a, const std::set<std::string>& b) {
    std::string text;
    for (const std::string& item : a)
        if (!b.count(item)) text += "\n  " + item;
    return text;
}

const NativeClassRows* findClass(const char* name) {
    for (size_t i = 0; i < registrationClassCount(); ++i)
        if (std::string(registrationClasses()[i].className) == name) return &registrationClasses()[i];
    return nullptr;
}

std::string exportName(const char* className, const char* methodName) {
    char buffer[256];
    EXPECT_TRUE(jniExportName(className, methodName, buffer, sizeof buffer));
    return buffer;
}

}  // namespace

// ---- the table itself --------------------------------------------------------

TEST(RegistrationTable, FifteenClassesInBindingOrderWithTheirRowCounts) {
    const std::vector<std::pair<std::string, size_t>> expected = {
        {"ACLHandling", 1}, {"FileVersion", 1}, {"FolderInfo", 7}, {"Misc", 13},
        {"ObjectPicker", 1}, {"ShellLink", 4}, {"VistaFileChooser", 2}, {"VistaTaskDialog", 1},
        {"Win32CommunicationBackend", 10}, {"Win32Proxy", 4}, {"Win32UserInfo", 10}, {"Registry", 11},
        {"Win32Exec", 1}, {"Win32Handle", 3}, {"Win32Services", 10},
    };
    ASSERT_EQ(registrationClassCount(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(registrationClasses()[i].className, expected[i].first) << i;
        EXPECT_EQ(registrationClasses()[i].rowCount, expected[i].second) << expected[i].first;
    }
    EXPECT_EQ(registrationRowCount(), 79u);
}

TEST(RegistrationTable, RowOrderWithinClasses) {
    struct Edge {
        const char* cls;
        const char* first;
        const char* firstSignature;
        const char* last;
        const char* lastSignature;
    };
    const Edge edges[] = {
        {"Misc", "reboot0", "()V", "getPidFromHandle0", "(J)I"},
        {"ShellLink", "createWide0",
         "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Z"
         "Ljava/lang/String;I)Z",
         "uninitialize", "()Z"},
        {"Registry", "keyExists0", "(ILjava/lang/String;I)Z", "changeNotifyAssociations0", "()V"},
    };
    for (const Edge& e : edges) {
        const NativeClassRows* cls = findClass(e.cls);
        ASSERT_NE(cls, nullptr) << e.cls;
        EXPECT_STREQ(cls->rows[0].name, e.first) << e.cls;
        EXPECT_STREQ(cls->rows[0].signature, e.firstSignature) << e.cls;
        EXPECT_STREQ(cls->rows[cls->rowCount - 1].name, e.last) << e.cls;
        EXPECT_STREQ(cls->rows[cls->rowCount - 1].signature, e.lastSignature) << e.cls;
    }
    const NativeClassRows* misc = findClass("Misc");
    EXPECT_STREQ(misc->rows[11].name, "getTopLevelWindows0");
    EXPECT_STREQ(misc->rows[11].signature, "(Ljava/lang/Class;I)[Lcom/tavra/api/windows/WindowInfo;");
}

TEST(RegistrationTable, ShellLinkCreate0IsExportedButNotRegistered) {
    ASSERT_EQ(exportOnlyClassCount(), 1u);
    const NativeClassRows& only = exportOnlyClasses()[0];
    EXPECT_STREQ(only.className, "ShellLink");
    ASSERT_EQ(only.rowCount, 1u);
    EXPECT_STREQ(only.rows[0].name, "create0");
    EXPECT_STREQ(only.rows[0].signature, "(Ljava/lang/String;[B[B[B[BZ[B)Z");
    const NativeClassRows* registered = findClass("ShellLink");
    for (size_t r = 0; r < registered->rowCount; ++r) EXPECT_STRNE(registered->rows[r].name, "create0");
}

TEST(RegistrationTable, NamesAreUniqueWithinTheLibrary) {
    std::set<std::string> seen;
    for (size_t c = 0; c < registrationClassCount(); ++c) {
        const NativeClassRows& cls = registrationClasses()[c];
        for (size_t r = 0; r < cls.rowCount; ++r)
            EXPECT_TRUE(seen.insert(std::string(cls.className) + "." + cls.rows[r].name).second)
                << "duplicate " << cls.className << "." << cls.rows[r].name;
    }
}

// ---- names that registerNatives looks up ------------------------------------

TEST(RegistrationNames, ExportNamesFollowTheJniShortNameRule) {
    EXPECT_EQ(exportName("Misc", "reboot0"), "Java_com_tavra_runtime_installer_platform_win32_Misc_reboot0");
    EXPECT_EQ(exportName("Registry", "getValue0"),
              "Java_com_tavra_runtime_installer_platform_win32_Registry_getValue0");
    EXPECT_EQ(exportName("ShellLink", "create0"), "Java_com_tavra_runtime_installer_platform_win32_ShellLink_create0");
    // Escapes, for names that would need them.
    EXPECT_EQ(exportName("Misc", "get_value"), "Java_com_tavra_runtime_installer_platform_win32_Misc_get_1value");
    EXPECT_EQ(exportName("Outer$Inner", "f"), "Java_com_tavra_runtime_installer_platform_win32_Outer_00024Inner_f");
}

TEST(RegistrationNames, NoNameOfTheTableNeedsAnEscape) {
    for (size_t c = 0; c < registrationClassCount(); ++c) {
        const NativeClassRows& cls = registrationClasses()[c];
        for (size_t r = 0; r < cls.rowCount; ++r) {
            std::string plain = std::string("Java_com_tavra_runtime_installer_platform_win32_") + cls.className + "_" +
                                cls.rows[r].name;
            EXPECT_EQ(exportName(cls.className, cls.rows[r].name), plain);
        }
    }
}

TEST(RegistrationNames, RefusesWhatDoesNotFitOrIsNotAscii) {
    const std::string full = "Java_com_tavra_runtime_installer_platform_win32_Misc_reboot0";
    std::vector<char> exact(full.size() + 1, 'x');
    EXPECT_TRUE(jniExportName("Misc", "reboot0", exact.data(), exact.size()));
    EXPECT_EQ(std::string(exact.data()), full);

    std::vector<char> shortByOne(full.size(), 'x');
    EXPECT_FALSE(jniExportName("Misc", "reboot0", shortByOne.data(), shortByOne.size()));
    EXPECT_EQ(shortByOne[0], 0);

    char buffer[128] = "x";
    EXPECT_FALSE(jniExportName("Misc", "gr\xc3\xbc\xc3\x9f", buffer, sizeof buffer));
    EXPECT_EQ(buffer[0], 0);
    EXPECT_FALSE(jniExportName("Misc", "reboot0", buffer, 0));
}

TEST(RegistrationNames, ClassPathForFindClass) {
    char buffer[128];
    ASSERT_TRUE(jniClassPath("ACLHandling", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "com/tavra/runtime/installer/platform/win32/ACLHandling");
    char tiny[8] = "x";
    EXPECT_FALSE(jniClassPath("ACLHandling", tiny, sizeof tiny));
    EXPECT_EQ(tiny[0], 0);
}

// ---- the compiled Java classes --------------------------------------------

TEST(JavapParser, ReadsNativesConstructorsAndModifiers) {
    std::istringstream listing(
        "Compiled from \"X.java\"\n"
        "public final class a.b.X {\n"
        "  private static int count;\n"
        "    descriptor: I\n"
        "  public a.b.X(long, java.lang.String);\n"
        "    descriptor: (JLjava/lang/String;)V\n"
        "\n"
        "  public static native java.lang.String[] f0(int[]) throws java.io.IOException;\n"
        "    descriptor: ([I)[Ljava/lang/String;\n"
        "\n"
        "  native void g();\n"
        "    descriptor: ()V\n"
        "\n"
        "  static {};\n"
        "    descriptor: ()V\n"
        "}\n");
    JavaClassModel model = parseJavap(listing);
    ASSERT_EQ(model.count("a.b.X"), 1u);
    ASSERT_EQ(model["a.b.X"].size(), 3u);
    const JavaMember* ctor = findMember(model, "a.b.X", "<init>", "(JLjava/lang/String;)V");
    ASSERT_NE(ctor, nullptr);
    EXPECT_FALSE(ctor->isNative);
    const JavaMember* f0 = findMember(model, "a.b.X", "f0", "([I)[Ljava/lang/String;");
    ASSERT_NE(f0, nullptr);
    EXPECT_TRUE(f0->isNative && f0->isStatic);
    const JavaMember* g = findMember(model, "a.b.X", "g", "()V");
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(g->isNative && !g->isStatic);
}

TEST(JavaContract, NativesOfTheJarAreExactlyTheTable) {
    JavaClassModel model = loadJavapListing();
    std::set<std::string> java = javaNatives(model);
    std::set<std::string> table = tableNatives();
    EXPECT_EQ(table.size(), 80u);
    EXPECT_EQ(difference(table, java), "") << "in the native table but not declared in Java";
    EXPECT_EQ(difference(java, table), "") << "declared in Java but not in the native table";
}

TEST(JavaContract, WhatTheLauncherAndTheNativesCall) {
    JavaClassModel model = loadJavapListing();
    struct Call {
        const char* cls;
        const char* name;
        const char* descriptor;
        bool isStatic;
    };
    const Call calls[] = {
        {"com.lorix.runtime.WinLauncher", "main", "([Ljava/lang/String;)V", true},
        {"com.tavra.runtime.launcher.WinLauncher", "main", "([Ljava/lang/String;)V", true},
        {"com.lorix.runtime.WinLauncher", "initAwtSplashConfig",
         "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V", true},
        {"com.tavra.runtime.installer.platform.win32.Common", "initFromLauncher", "(Z)V", true},
        {"com.tavra.api.windows.WindowInfo", "<init>", "(JILjava/lang/String;Ljava/lang/String;)V", false},
        {"com.tavra.runtime.installer.platform.win32.ObjectPicker$Result", "<init>",
         "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V", false},
        {"com.tavra.api.windows.WinRegistry$ExpandString", "<init>", "(Ljava/lang/String;)V", false},
    };
    for (const Call& c : calls) {
        const JavaMember* m = findMember(model, c.cls, c.name, c.descriptor);
        ASSERT_NE(m, nullptr) << c.cls << "." << c.name << c.descriptor;
        EXPECT_EQ(m->isStatic, c.isStatic) << c.cls << "." << c.name;
    }
}
