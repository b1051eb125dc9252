// The class model of the fake JVM against the native registration table:
// every row that registerNatives will pass must bind, or the natives'
// tests would fail on the double rather than on the natives.
#include <gtest/gtest.h>

#include "native/frame/RegistrationTable.h"
#include "tests/support/jvm/FakeJni.h"

namespace {

void JNICALL placeholderNative() {}

// Registers every row of the groups as the registration of tvrinst does,
// one RegisterNatives call per class; returns the rows bound.
size_t registerAll(JNIEnv* env, const NativeClassRows* groups, size_t count) {
    size_t bound = 0;
    for (size_t g = 0; g < count; ++g) {
        char path[256];
        EXPECT_TRUE(jniClassPath(groups[g].className, path, sizeof path));
        jclass cls = env->FindClass(path);
        EXPECT_NE(nullptr, cls) << path;
        if (!cls) {
            env->ExceptionClear();
            continue;
        }
        std::vector<JNINativeMethod> rows;
        for (size_t r = 0; r < groups[g].rowCount; ++r)
            rows.push_back(JNINativeMethod{const_cast<char*>(groups[g].rows[r].name),
                                           const_cast<char*>(groups[g].rows[r].signature),
                                           reinterpret_cast<void*>(placeholderNative)});
        EXPECT_EQ(0, env->RegisterNatives(cls, rows.data(), static_cast<jint>(rows.size()))) << path;
        env->ExceptionClear();
        bound += rows.size();
    }
    return bound;
}

TEST(RegistrationTableInTheModel, EveryRowBindsToANativeOfTheRuntimeJar) {
    fakejni::reset();
    JNIEnv* env = fakejni::env();
    registerAll(env, registrationClasses(), registrationClassCount());
    registerAll(env, exportOnlyClasses(), exportOnlyClassCount());
    size_t exportOnly = 0;
    for (size_t g = 0; g < exportOnlyClassCount(); ++g) exportOnly += exportOnlyClasses()[g].rowCount;
    EXPECT_EQ(registrationRowCount() + exportOnly, fakejni::registrations().size());
}

}  // namespace
