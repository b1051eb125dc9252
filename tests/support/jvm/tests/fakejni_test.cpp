// The fake JNI where it could mislead a test of native code: lookups as
// strict as a JVM's, strings and arrays that keep what natives put in,
// registrations and calls that reach the right function, and loud failure
// of everything it does not model.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/jvm/FakeJni.h"
#include "tests/support/jvm/Internal.h"

extern const char kFakeJniTestModel[];

namespace {

const char* const kNatives = "fake/test/Natives";

// ---- natives of the test classes ----------------------------------------------------------

jint JNICALL add0(JNIEnv* env, jclass, jint a, jstring s) { return a + env->GetStringLength(s); }

// Copies the string through GetStringChars, as the natives' string
// conversion does.
jstring JNICALL echo0(JNIEnv* env, jclass, jstring s) {
    if (!s) return nullptr;
    jsize n = env->GetStringLength(s);
    const jchar* chars = env->GetStringChars(s, nullptr);
    jstring copy = env->NewString(chars, n);
    env->ReleaseStringChars(s, chars);
    return copy;
}

jintArray JNICALL doubled0(JNIEnv* env, jclass, jintArray values, jint mode) {
    jsize n = env->GetArrayLength(values);
    jint* elements = env->GetIntArrayElements(values, nullptr);
    for (jsize i = 0; i < n; ++i) elements[i] *= 2;
    env->ReleaseIntArrayElements(values, elements, mode);
    return values;
}

jobject JNICALL box0(JNIEnv* env, jclass, jint value) {
    jclass integer = env->FindClass("java/lang/Integer");
    jmethodID ctor = env->GetMethodID(integer, "<init>", "(I)V");
    return env->NewObject(integer, ctor, value);
}

// Splits at commas into a String[], each element made by a local reference
// that is deleted again.
jobjectArray JNICALL split0(JNIEnv* env, jclass, jstring text) {
    const jchar* chars = env->GetStringChars(text, nullptr);
    std::wstring whole(reinterpret_cast<const wchar_t*>(chars), static_cast<size_t>(env->GetStringLength(text)));
    env->ReleaseStringChars(text, chars);
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t comma; (comma = whole.find(L',', start)) != std::wstring::npos; start = comma + 1)
        parts.push_back(whole.substr(start, comma - start));
    parts.push_back(whole.substr(start));
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(parts.size()), stringClass, nullptr);
    for (size_t i = 0; i < parts.size(); ++i) {
        jstring s = env->NewString(reinterpret_cast<const jchar*>(parts[i].data()), static_cast<jsize>(parts[i].size()));
        env->SetObjectArrayElement(array, static_cast<jsize>(i), s);
        env->DeleteLocalRef(s);
    }
    return array;
}

jlong JNICALL sum0(JNIEnv* env, jclass, jbyteArray data, jlong extra, jboolean negate) {
    jsize n = env->GetArrayLength(data);
    jbyte* bytes = env->GetByteArrayElements(data, nullptr);
    jlong sum = extra;
    for (jsize i = 0; i < n; ++i) sum += bytes[i];
    env->ReleaseByteArrayElements(data, bytes, JNI_ABORT);
    return negate ? -sum : sum;
}

jboolean JNICALL isEmpty0(JNIEnv* env, jclass, jstring s) { return env->GetStringLength(s) == 0 ? JNI_TRUE : JNI_FALSE; }
jint JNICALL overloadedInt(JNIEnv*, jclass, jint a) { return a + 1; }
jint JNICALL overloadedString(JNIEnv* env, jclass, jstring s) { return env->GetStringLength(s); }
jdouble JNICALL ratio0(JNIEnv*, jclass, jint a) { return a / 2.0; }

// An instance native: the receiver's class name and a suffix.
jstring JNICALL name0(JNIEnv* env, jobject self, jint suffix) {
    jclass cls = env->GetObjectClass(self);
    jclass classClass = env->FindClass("java/lang/Class");
    jmethodID getName = env->GetMethodID(classClass, "getName", "()Ljava/lang/String;");
    jstring name = static_cast<jstring>(env->CallObjectMethod(cls, getName));
    std::wstring text = fakejni::text(name) + L"#" + std::to_wstring(suffix);
    return env->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
}

JNINativeMethod row(const char* name, const char* sig, void* fn) {
    return JNINativeMethod{const_cast<char*>(name), const_cast<char*>(sig), fn};
}

std::vector<JNINativeMethod> testRows() {
    return {
        row("add0", "(ILjava/lang/String;)I", reinterpret_cast<void*>(add0)),
        row("echo0", "(Ljava/lang/String;)Ljava/lang/String;", reinterpret_cast<void*>(echo0)),
        row("doubled0", "([II)[I", reinterpret_cast<void*>(doubled0)),
        row("box0", "(I)Ljava/lang/Object;", reinterpret_cast<void*>(box0)),
        row("split0", "(Ljava/lang/String;)[Ljava/lang/String;", reinterpret_cast<void*>(split0)),
        row("sum0", "([BJZ)J", reinterpret_cast<void*>(sum0)),
        row("isEmpty0", "(Ljava/lang/String;)Z", reinterpret_cast<void*>(isEmpty0)),
        row("overloaded0", "(I)I", reinterpret_cast<void*>(overloadedInt)),
        row("overloaded0", "(Ljava/lang/String;)I", reinterpret_cast<void*>(overloadedString)),
        row("ratio0", "(I)D", reinterpret_cast<void*>(ratio0)),
        row("name0", "(I)Ljava/lang/String;", reinterpret_cast<void*>(name0)),
    };
}

bool hasRecord(const std::string& line) {
    std::vector<std::string> r = fakejni::records();
    return std::find(r.begin(), r.end(), line) != r.end();
}

bool hasRecordStarting(const std::string& prefix) {
    for (const std::string& line : fakejni::records())
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

class FakeJni : public ::testing::Test {
protected:
    void SetUp() override {
        static bool added = fakejni::addClassModel(kFakeJniTestModel);
        ASSERT_TRUE(added);
        fakejni::reset();
        env = fakejni::env();
    }

    void registerTestNatives() {
        std::vector<JNINativeMethod> rows = testRows();
        jclass cls = env->FindClass(kNatives);
        ASSERT_EQ(0, env->RegisterNatives(cls, rows.data(), static_cast<jint>(rows.size())));
    }

    std::string pendingText() {
        jthrowable t = fakejni::pendingException();
        return t ? fakejni::describe(t) : std::string("none");
    }

    JNIEnv* env = nullptr;
};

using FakeJniDeathTest = FakeJni;

// ---- the tables and the class model ------------------------------------------------------------

TEST_F(FakeJni, EveryTableSlotIsFilled) { EXPECT_TRUE(fakejni::internal::tablesComplete()); }

TEST_F(FakeJni, MissingClassGivesNullAndAPendingNoClassDefFoundError) {
    EXPECT_EQ(nullptr, env->FindClass("fake/test/Missing"));
    EXPECT_TRUE(env->ExceptionCheck());
    EXPECT_EQ("java.lang.NoClassDefFoundError: fake/test/Missing", pendingText());
    EXPECT_TRUE(hasRecord("FindClass\t\"fake/test/Missing\"\t-> null"));
    EXPECT_TRUE(hasRecord("pending\tjava/lang/NoClassDefFoundError(\"fake/test/Missing\")"));
    env->ExceptionClear();
    // A JVM wants slashes; the dotted form of a known class is not found.
    EXPECT_EQ(nullptr, env->FindClass("java.lang.String"));
    env->ExceptionClear();
    fakejni::hideClass(kNatives);
    EXPECT_EQ(nullptr, env->FindClass(kNatives));
}

TEST_F(FakeJni, InnerClassesAndConstructorsComeFromTheListing) {
    jclass part = env->FindClass("fake/test/Window$Part");
    ASSERT_NE(nullptr, part);
    EXPECT_NE(nullptr, env->GetMethodID(part, "<init>", "(Ljava/lang/String;)V"));
    jclass window = env->FindClass("fake/test/Window");
    EXPECT_NE(nullptr, env->GetMethodID(window, "<init>", "(JILjava/lang/String;Ljava/lang/String;)V"));
    EXPECT_EQ(nullptr, env->GetMethodID(window, "<init>", "()V"));
    env->ExceptionClear();
    // Constructors are not inherited.
    EXPECT_EQ(nullptr, env->GetMethodID(env->FindClass("java/lang/NoSuchMethodError"), "<init>", "(Ljava/lang/Throwable;)V"));
    env->ExceptionClear();
}

TEST_F(FakeJni, ListingsAreReadOnlyWhenTheyAreJavapListings) {
    EXPECT_FALSE(fakejni::addClassModel("hello\n"));
    EXPECT_FALSE(fakejni::addClassModel("public class extra.Open {\n  public extra.Open();\n    descriptor: ()V\n"));
    EXPECT_FALSE(fakejni::addClassModel("public class extra.Orphan {\n    descriptor: ()V\n}\n"));
    const std::string listing =
        "Compiled from \"Thing.java\"\n"
        "public abstract class extra.Thing<T> extends java.lang.Number implements java.lang.Comparable<T> {\n"
        "  protected static native <T> java.util.List<T> go(long, java.util.Map<java.lang.String, T>);\n"
        "    descriptor: (JLjava/util/Map;)Ljava/util/List;\n"
        "}\n";
    EXPECT_TRUE(fakejni::addClassModel(listing));
    EXPECT_TRUE(fakejni::addClassModel(listing));  // known classes keep their first description
    jclass thing = env->FindClass("extra/Thing");
    ASSERT_NE(nullptr, thing);
    EXPECT_NE(nullptr, env->GetStaticMethodID(thing, "go", "(JLjava/util/Map;)Ljava/util/List;"));
    EXPECT_TRUE(env->IsAssignableFrom(thing, env->FindClass("java/lang/Comparable")));
    EXPECT_EQ(nullptr, env->AllocObject(thing));  // abstract
    env->ExceptionClear();
}

TEST_F(FakeJni, WrongNameSignatureOrStaticnessIsRefused) {
    jclass natives = env->FindClass(kNatives);
    EXPECT_NE(nullptr, env->GetStaticMethodID(natives, "add0", "(ILjava/lang/String;)I"));
    EXPECT_EQ(nullptr, env->GetStaticMethodID(natives, "add0", "(ILjava/lang/String;)J"));
    EXPECT_EQ("java.lang.NoSuchMethodError: add0(ILjava/lang/String;)J", pendingText());
    env->ExceptionClear();
    EXPECT_EQ(nullptr, env->GetStaticMethodID(natives, "add", "(ILjava/lang/String;)I"));
    env->ExceptionClear();
    EXPECT_EQ(nullptr, env->GetMethodID(natives, "add0", "(ILjava/lang/String;)I"));  // static
    env->ExceptionClear();
    EXPECT_EQ(nullptr, env->GetStaticMethodID(natives, "describe", "()Ljava/lang/String;"));  // instance
    env->ExceptionClear();
    EXPECT_EQ(nullptr, env->GetFieldID(natives, "count", "J"));
    EXPECT_EQ("java.lang.NoSuchFieldError: count", pendingText());
    env->ExceptionClear();
    EXPECT_EQ(nullptr, env->GetFieldID(natives, "label", "Ljava/lang/String;"));  // static field
    env->ExceptionClear();
    fakejni::hideMethod(kNatives, "add0", "(ILjava/lang/String;)I");
    EXPECT_EQ(nullptr, env->GetStaticMethodID(natives, "add0", "(ILjava/lang/String;)I"));
    env->ExceptionClear();
}

TEST_F(FakeJni, InheritedMethodsAndInterfacesAreFound) {
    jclass square = env->FindClass("fake/test/Square");
    jclass named = env->FindClass("fake/test/Named");
    jclass shape = env->FindClass("fake/test/Shape");
    EXPECT_NE(nullptr, env->GetMethodID(square, "name", "()Ljava/lang/String;"));
    EXPECT_NE(nullptr, env->GetMethodID(square, "hashCode", "()I"));
    EXPECT_TRUE(env->IsAssignableFrom(square, named));
    EXPECT_TRUE(env->IsAssignableFrom(square, shape));
    EXPECT_FALSE(env->IsAssignableFrom(shape, square));
    jclass superclass = env->GetSuperclass(square);
    EXPECT_TRUE(env->IsSameObject(superclass, shape));
    EXPECT_EQ(nullptr, env->GetSuperclass(named));
    // An abstract class cannot be instantiated.
    EXPECT_EQ(nullptr, env->AllocObject(shape));
    EXPECT_EQ("java.lang.InstantiationException: fake.test.Shape", pendingText());
    env->ExceptionClear();
}

TEST_F(FakeJni, FieldsKeepWhatIsStored) {
    jclass natives = env->FindClass(kNatives);
    jobject obj = env->AllocObject(natives);
    jfieldID count = env->GetFieldID(natives, "count", "I");
    jfieldID label = env->GetStaticFieldID(natives, "label", "Ljava/lang/String;");
    env->SetIntField(obj, count, 42);
    env->SetStaticObjectField(natives, label, fakejni::newString(L"x"));
    EXPECT_EQ(42, env->GetIntField(obj, count));
    EXPECT_EQ(L"x", fakejni::text(env->GetStaticObjectField(natives, label)));
    EXPECT_EQ(0, env->GetIntField(env->AllocObject(natives), count));
}

// ---- strings -----------------------------------------------------------------------------------------

TEST_F(FakeJni, StringsKeepEmbeddedNulsAndSurrogates) {
    const jchar withNul[] = {'a', 0, 'b'};
    jstring s = env->NewString(withNul, 3);
    EXPECT_EQ(3, env->GetStringLength(s));
    EXPECT_EQ(std::wstring(L"a\0b", 3), fakejni::text(s));
    const char* utf = env->GetStringUTFChars(s, nullptr);
    EXPECT_STREQ("a\xC0\x80" "b", utf);  // modified UTF-8 writes NUL as two bytes
    env->ReleaseStringUTFChars(s, utf);
    const jchar* chars = env->GetStringChars(s, nullptr);
    EXPECT_EQ(0, chars[3]);  // terminated, as HotSpot's copy is
    env->ReleaseStringChars(s, chars);
    EXPECT_EQ(0u, fakejni::openBuffers());

    jstring emoji = env->NewStringUTF("\xED\xA0\xBD\xED\xB8\x80");  // U+1F600 as two modified-UTF-8 surrogates
    EXPECT_EQ(std::wstring(L"\xD83D\xDE00"), fakejni::text(emoji));
    EXPECT_TRUE(hasRecordStarting("NewStringUTF\t\"\xF0\x9F\x98\x80\""));
    EXPECT_EQ(nullptr, env->NewStringUTF(nullptr));

    jstring quoted = fakejni::newString(L"a\"b\\c\td\x01");
    EXPECT_EQ("\"a\\\"b\\\\c\\td\\u0001\"", fakejni::quote(fakejni::text(quoted)));
}

TEST_F(FakeJni, AFullHeapRefusesStringsUntilReset) {
    fakejni::failStringsAfter(1);
    EXPECT_NE(nullptr, env->NewStringUTF("made"));
    const jchar unit = 'x';
    EXPECT_EQ(nullptr, env->NewString(&unit, 1));
    EXPECT_EQ("java.lang.OutOfMemoryError: Java heap space", pendingText());
    env->ExceptionClear();
    EXPECT_EQ(nullptr, env->NewStringUTF("refused"));
    env->ExceptionClear();
    fakejni::reset();
    EXPECT_NE(nullptr, env->NewString(&unit, 1));
}

TEST_F(FakeJni, AFullHeapRefusesCopiesUntilReset) {
    jstring s = fakejni::newString(L"abc");
    jintArray numbers = env->NewIntArray(2);
    fakejni::failCopiesAfter(1);
    const jchar* chars = env->GetStringChars(s, nullptr);
    ASSERT_NE(nullptr, chars);
    env->ReleaseStringChars(s, chars);
    EXPECT_EQ(nullptr, env->GetStringUTFChars(s, nullptr));
    EXPECT_EQ("java.lang.OutOfMemoryError: Java heap space", pendingText());
    env->ExceptionClear();
    EXPECT_EQ(nullptr, env->GetIntArrayElements(numbers, nullptr));
    env->ExceptionClear();
    EXPECT_NE(nullptr, env->NewStringUTF("strings are still made"));
    EXPECT_EQ(0u, fakejni::openBuffers());
    fakejni::reset();
    s = fakejni::newString(L"abc");
    chars = env->GetStringChars(s, nullptr);
    EXPECT_NE(nullptr, chars);
    env->ReleaseStringChars(s, chars);
}

TEST_F(FakeJni, StringRegionsCheckBounds) {
    jstring s = fakejni::newString(L"hello");
    jchar buffer[8] = {};
    env->GetStringRegion(s, 1, 3, buffer);
    EXPECT_EQ(std::wstring(L"ell"), std::wstring(reinterpret_cast<wchar_t*>(buffer), 3));
    env->GetStringRegion(s, 3, 3, buffer);
    EXPECT_EQ("java.lang.StringIndexOutOfBoundsException: offset 3, length 3", pendingText());
    env->ExceptionClear();
}

// ---- arrays --------------------------------------------------------------------------------------------

TEST_F(FakeJni, ObjectArraysCheckIndexAndElementType) {
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(2, stringClass, nullptr);
    env->SetObjectArrayElement(array, 0, fakejni::newString(L"a"));
    EXPECT_FALSE(env->ExceptionCheck());
    env->SetObjectArrayElement(array, 2, fakejni::newString(L"b"));
    EXPECT_EQ("java.lang.ArrayIndexOutOfBoundsException: Index 2 out of bounds for length 2", pendingText());
    env->ExceptionClear();
    env->SetObjectArrayElement(array, 1, fakejni::newInteger(5));
    EXPECT_EQ("java.lang.ArrayStoreException: java.lang.Integer", pendingText());
    env->ExceptionClear();
    std::vector<jobject> elements = fakejni::elements(array);
    ASSERT_EQ(2u, elements.size());
    EXPECT_EQ(L"a", fakejni::text(elements[0]));
    EXPECT_TRUE(fakejni::isNull(elements[1]));
    EXPECT_EQ("[Ljava/lang/String;", fakejni::className(array));
    EXPECT_EQ(nullptr, env->NewObjectArray(-1, stringClass, nullptr));
    EXPECT_EQ("java.lang.NegativeArraySizeException: -1", pendingText());
    env->ExceptionClear();
}

TEST_F(FakeJni, ReleaseModesDecideWhetherChangesReachTheArray) {
    registerTestNatives();
    jintArray values = fakejni::newIntArray({1, 2, 3});
    fakejni::callNative(kNatives, "doubled0", {values, 0});
    EXPECT_EQ(std::vector<jint>({2, 4, 6}), fakejni::ints(values));
    fakejni::callNative(kNatives, "doubled0", {values, JNI_ABORT});
    EXPECT_EQ(std::vector<jint>({2, 4, 6}), fakejni::ints(values));
    EXPECT_EQ(0u, fakejni::openBuffers());
    fakejni::callNative(kNatives, "doubled0", {values, JNI_COMMIT});
    EXPECT_EQ(std::vector<jint>({4, 8, 12}), fakejni::ints(values));
    EXPECT_EQ(1u, fakejni::openBuffers());  // JNI_COMMIT keeps the copy
    EXPECT_TRUE(hasRecord("ReleaseIntArrayElements\tint[3]{2, 4, 6}\tmode JNI_ABORT"));
}

TEST_F(FakeJni, ArrayRegionsCheckBoundsAndChangeNothingOnFailure) {
    jintArray values = fakejni::newIntArray({1, 2, 3});
    const jint replacement[] = {7, 8};
    env->SetIntArrayRegion(values, 2, 2, replacement);
    EXPECT_TRUE(env->ExceptionCheck());
    env->ExceptionClear();
    EXPECT_EQ(std::vector<jint>({1, 2, 3}), fakejni::ints(values));
    env->SetIntArrayRegion(values, 1, 2, replacement);
    EXPECT_EQ(std::vector<jint>({1, 7, 8}), fakejni::ints(values));
    jbyteArray bytes = fakejni::newByteArray({-1, 5});
    jbyte read[2] = {};
    env->GetByteArrayRegion(bytes, 0, 2, read);
    EXPECT_EQ(-1, read[0]);
    EXPECT_EQ(std::vector<bool>({true, false}), fakejni::booleans(fakejni::newBooleanArray({true, false})));
}

// ---- registration and calls of natives ----------------------------------------------------------

TEST_F(FakeJni, RegisteredNativesAreCalledWithConvertedArguments) {
    registerTestNatives();
    ASSERT_EQ(testRows().size(), fakejni::registrations().size());
    EXPECT_EQ("split0", fakejni::registrations()[4].name);
    EXPECT_EQ(reinterpret_cast<void*>(add0), fakejni::registeredFunction(kNatives, "add0", "(ILjava/lang/String;)I"));

    EXPECT_EQ(8, fakejni::callNative(kNatives, "add0", {5, fakejni::newString(L"abc")}).asInt());
    EXPECT_EQ(std::wstring(L"x\0y", 3), fakejni::callNative(kNatives, "echo0", {fakejni::newString(std::wstring(L"x\0y", 3))}).asText());
    EXPECT_TRUE(fakejni::isNull(fakejni::callNative(kNatives, "echo0", {nullptr}).asObject()));
    EXPECT_EQ(-5, fakejni::callNative(kNatives, "sum0", {fakejni::newByteArray({-1, 2, 1}), 3, true}).asLong());
    EXPECT_TRUE(fakejni::callNative(kNatives, "isEmpty0", {fakejni::newString(L"")}).asBoolean());
    EXPECT_EQ(std::vector<std::wstring>({L"a", L"", L"b"}),
              fakejni::texts(fakejni::callNative(kNatives, "split0", {fakejni::newString(L"a,,b")}).asObject()));

    jobject boxed = fakejni::callNative(kNatives, "box0", {7}).asObject();
    EXPECT_EQ("java/lang/Integer", fakejni::className(boxed));
    EXPECT_EQ(7, fakejni::boxedValue(boxed).asInt());

    EXPECT_EQ(3, fakejni::callNativeSig(kNatives, "overloaded0", "(Ljava/lang/String;)I", {fakejni::newString(L"abc")}).asInt());
    EXPECT_EQ(2, fakejni::callNativeSig(kNatives, "overloaded0", "(I)I", {1}).asInt());

    jobject receiver = fakejni::newObject(kNatives, "()V", {});
    EXPECT_EQ(L"fake.test.Natives#3", fakejni::callNativeOn(receiver, kNatives, "name0", {3}).asText());
}

TEST_F(FakeJni, LocalReferencesOfANativeEndWithIt) {
    registerTestNatives();
    jstring text = fakejni::newString(L"a,b,c");
    size_t before = fakejni::liveLocalRefs();
    jobject result = fakejni::callNative(kNatives, "split0", {text}).asObject();
    EXPECT_EQ(before + 1, fakejni::liveLocalRefs());  // only the result
    EXPECT_EQ(3u, fakejni::texts(result).size());
}

TEST_F(FakeJni, CallingANativeMethodThroughTheEnvRunsTheRegisteredFunction) {
    jclass natives = env->FindClass(kNatives);
    jmethodID add = env->GetStaticMethodID(natives, "add0", "(ILjava/lang/String;)I");
    EXPECT_EQ(0, env->CallStaticIntMethod(natives, add, 1, fakejni::newString(L"ab")));
    EXPECT_EQ("java.lang.UnsatisfiedLinkError: 'fake/test/Natives.add0(ILjava/lang/String;)I'", pendingText());
    env->ExceptionClear();
    registerTestNatives();
    EXPECT_EQ(3, env->CallStaticIntMethod(natives, add, 1, fakejni::newString(L"ab")));
    EXPECT_TRUE(hasRecord("CallStaticIntMethod\tclass fake/test/Natives\tfake/test/Natives.add0(ILjava/lang/String;)I\t1\t\"ab\""));
    EXPECT_TRUE(hasRecord("returned\t3"));
}

TEST_F(FakeJni, RegisterNativesRefusesWhatIsNotANativeOfTheClass) {
    jclass natives = env->FindClass(kNatives);
    JNINativeMethod rows[] = {
        row("add0", "(ILjava/lang/String;)I", reinterpret_cast<void*>(add0)),
        row("add1", "(ILjava/lang/String;)I", reinterpret_cast<void*>(add0)),
    };
    EXPECT_EQ(JNI_ERR, env->RegisterNatives(natives, rows, 2));
    EXPECT_EQ("java.lang.NoSuchMethodError: Method 'fake/test/Natives.add1(ILjava/lang/String;)I' name or signature does not match",
              pendingText());
    env->ExceptionClear();
    // As on HotSpot, the rows before the bad one stay bound.
    EXPECT_NE(nullptr, fakejni::registeredFunction(kNatives, "add0", "(ILjava/lang/String;)I"));

    JNINativeMethod wrongSignature = row("add0", "(IILjava/lang/String;)I", reinterpret_cast<void*>(add0));
    EXPECT_EQ(JNI_ERR, env->RegisterNatives(natives, &wrongSignature, 1));
    env->ExceptionClear();
    JNINativeMethod notNative = row("notNative", "()V", reinterpret_cast<void*>(add0));
    EXPECT_EQ(JNI_ERR, env->RegisterNatives(natives, &notNative, 1));
    EXPECT_TRUE(hasRecordStarting("RegisterNatives row\tclass fake/test/Natives\t\"notNative\"\t\"()V\"\t"));
    EXPECT_TRUE(hasRecord("RegisterNatives\tclass fake/test/Natives\t1\t-> -1"));
    env->ExceptionClear();
    fakejni::hideMethod(kNatives, "echo0", "(Ljava/lang/String;)Ljava/lang/String;");
    JNINativeMethod hidden = row("echo0", "(Ljava/lang/String;)Ljava/lang/String;", reinterpret_cast<void*>(echo0));
    EXPECT_EQ(JNI_ERR, env->RegisterNatives(natives, &hidden, 1));
    env->ExceptionClear();
    EXPECT_EQ(1u, fakejni::registrations().size());
}

// ---- Java methods ----------------------------------------------------------------------------------------

TEST_F(FakeJni, ExceptionsReadBackAsAJvmShowsThem) {
    jclass runtime = env->FindClass("java/lang/RuntimeException");
    EXPECT_EQ(0, env->ThrowNew(runtime, "boom"));
    jthrowable t = env->ExceptionOccurred();
    ASSERT_NE(nullptr, t);
    env->ExceptionClear();
    EXPECT_FALSE(env->ExceptionCheck());
    jmethodID toString = env->GetMethodID(env->FindClass("java/lang/Object"), "toString", "()Ljava/lang/String;");
    jstring text = static_cast<jstring>(env->CallObjectMethod(t, toString));
    EXPECT_EQ(L"java.lang.RuntimeException: boom", fakejni::text(text));
    jmethodID getMessage = env->GetMethodID(runtime, "getMessage", "()Ljava/lang/String;");
    EXPECT_EQ(L"boom", fakejni::text(env->CallObjectMethod(t, getMessage)));

    // Throw makes it pending again; describing clears it.
    env->Throw(t);
    EXPECT_TRUE(env->ExceptionCheck());
    env->ExceptionDescribe();
    EXPECT_FALSE(env->ExceptionCheck());

    // Using most JNI functions with an exception pending is outside the
    // contract: recorded as a warning, as -Xcheck:jni does.
    fakejni::throwNew("java/lang/IllegalArgumentException", L"bad");
    env->FindClass(kNatives);
    EXPECT_TRUE(hasRecord("warning\tFindClass called with an exception pending"));
    // The exception stays pending and is not taken for one the call threw.
    jthrowable bad = env->ExceptionOccurred();
    env->CallObjectMethod(bad, toString);
    EXPECT_TRUE(hasRecord("returned\t\"java.lang.IllegalArgumentException: bad\""));
    EXPECT_TRUE(env->ExceptionCheck());
    env->ExceptionClear();
}

TEST_F(FakeJni, BuiltInMethodsOfTheLangClasses) {
    jclass integer = env->FindClass("java/lang/Integer");
    jobject five = env->NewObject(integer, env->GetMethodID(integer, "<init>", "(I)V"), 5);
    EXPECT_EQ(5, env->CallIntMethod(five, env->GetMethodID(integer, "intValue", "()I")));
    jobject six = env->CallStaticObjectMethod(integer, env->GetStaticMethodID(integer, "valueOf", "(I)Ljava/lang/Integer;"), 6);
    EXPECT_EQ(6, fakejni::boxedValue(six).asInt());
    // Object.getClass is native in the JDK; it still works without registration.
    jclass objectClass = env->FindClass("java/lang/Object");
    jobject cls = env->CallObjectMethod(six, env->GetMethodID(objectClass, "getClass", "()Ljava/lang/Class;"));
    EXPECT_TRUE(env->IsSameObject(cls, integer));
    EXPECT_FALSE(env->ExceptionCheck());

    jclass system = env->FindClass("java/lang/System");
    jmethodID setProperty = env->GetStaticMethodID(system, "setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    jstring key = fakejni::newString(L"lorix.moduleName");
    EXPECT_EQ(nullptr, env->CallStaticObjectMethod(system, setProperty, key, fakejni::newString(L"C:\\a.exe")));
    jobject previous = env->CallStaticObjectMethod(system, setProperty, key, fakejni::newString(L"C:\\b.exe"));
    EXPECT_EQ(L"C:\\a.exe", fakejni::text(previous));
    EXPECT_EQ(L"C:\\b.exe", fakejni::property(L"lorix.moduleName"));
    EXPECT_TRUE(hasRecord("CallStaticObjectMethod\tclass java/lang/System\tjava/lang/System.setProperty"
                          "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;\t\"lorix.moduleName\"\t\"C:\\\\b.exe\""));
    EXPECT_TRUE(hasRecord("returned\t\"C:\\\\a.exe\""));
}

TEST_F(FakeJni, BehavioursOfTheTestRunJavaMethods) {
    fakejni::onCall(kNatives, "describe", "()Ljava/lang/String;", [](JNIEnv*, const fakejni::Call& call) {
        EXPECT_EQ("fake/test/Natives", fakejni::className(call.receiver));
        return fakejni::Value::ofObject(fakejni::newString(L"described"));
    });
    jclass natives = env->FindClass(kNatives);
    jobject obj = env->AllocObject(natives);
    jobject result = env->CallObjectMethod(obj, env->GetMethodID(natives, "describe", "()Ljava/lang/String;"));
    EXPECT_EQ(L"described", fakejni::text(result));
}

TEST_F(FakeJni, ValueObjectsKeepTheirConstructorArguments) {
    jclass window = env->FindClass("fake/test/Window");
    jmethodID ctor = env->GetMethodID(window, "<init>", "(JILjava/lang/String;Ljava/lang/String;)V");
    jobject w = env->NewObject(window, ctor, static_cast<jlong>(0x1234), 0x10, fakejni::newString(L"Edit"), nullptr);
    std::vector<fakejni::Value> args = fakejni::constructorArgs(w);
    ASSERT_EQ(4u, args.size());
    EXPECT_EQ(0x1234, args[0].asLong());
    EXPECT_EQ(0x10, args[1].asInt());
    EXPECT_EQ(L"Edit", args[2].asText());
    EXPECT_TRUE(fakejni::isNull(args[3].asObject()));
    EXPECT_TRUE(hasRecord("NewObject\tclass fake/test/Window\tfake/test/Window.<init>(JILjava/lang/String;Ljava/lang/String;)V"
                          "\t4660\t16\t\"Edit\"\tnull\t-> fake/test/Window(4660, 16, \"Edit\", null)"));
}

TEST_F(FakeJni, LocalFramesAndGlobalReferences) {
    jstring global = static_cast<jstring>(env->NewGlobalRef(fakejni::newString(L"kept")));
    size_t before = fakejni::liveLocalRefs();
    ASSERT_EQ(0, env->PushLocalFrame(4));
    jstring inner = env->NewStringUTF("inner");
    env->NewStringUTF("dropped");
    jobject survivor = env->PopLocalFrame(inner);
    EXPECT_EQ(before + 1, fakejni::liveLocalRefs());
    EXPECT_EQ(L"inner", fakejni::text(survivor));
    EXPECT_EQ(JNIGlobalRefType, env->GetObjectRefType(global));
    EXPECT_EQ(JNILocalRefType, env->GetObjectRefType(survivor));
    EXPECT_EQ(JNIInvalidRefType, env->GetObjectRefType(inner));
    env->DeleteGlobalRef(global);
    EXPECT_EQ(JNIInvalidRefType, env->GetObjectRefType(global));
}

// ---- loud failures ---------------------------------------------------------------------------------------

TEST_F(FakeJniDeathTest, UnimplementedFunctionsAbortWithTheirName) {
    jobject obj = fakejni::newString(L"x");
    EXPECT_DEATH(env->MonitorEnter(obj), "unimplemented JNI function MonitorEnter");
    EXPECT_DEATH(env->NewDirectByteBuffer(nullptr, 0), "unimplemented JNI function NewDirectByteBuffer");
}

TEST_F(FakeJniDeathTest, DeletedAndMadeUpReferencesAreFatal) {
    jstring s = env->NewStringUTF("gone");
    env->DeleteLocalRef(s);
    EXPECT_DEATH(env->GetStringLength(s), "GetStringLength: deleted reference");
    EXPECT_DEATH(env->GetStringLength(reinterpret_cast<jstring>(0x1000)), "GetStringLength: invalid reference");
    EXPECT_DEATH(env->GetStringLength(static_cast<jstring>(fakejni::newInteger(1))), "GetStringLength: not a string");
}

TEST_F(FakeJniDeathTest, MisusedCallsAreFatal) {
    jclass natives = env->FindClass(kNatives);
    jmethodID notNative = env->GetStaticMethodID(natives, "notNative", "()V");
    EXPECT_DEATH(env->CallStaticVoidMethod(natives, notNative), "no behaviour for the Java method fake/test/Natives.notNative");
    jmethodID echo = env->GetStaticMethodID(natives, "echo0", "(Ljava/lang/String;)Ljava/lang/String;");
    EXPECT_DEATH(env->CallStaticIntMethod(natives, echo, nullptr), "CallStaticIntMethod used for");
    EXPECT_DEATH(env->CallStaticObjectMethod(natives, echo, fakejni::newInteger(3)), "argument 1 of .* is java/lang/Integer");
    EXPECT_DEATH(env->CallVoidMethod(env->AllocObject(natives), notNative), "CallVoidMethod used for the static method");
    const jchar* chars = env->GetStringChars(fakejni::newString(L"a"), nullptr);
    EXPECT_DEATH(env->ReleaseStringChars(fakejni::newString(L"b"), chars), "buffer from GetStringChars belongs to");
}

TEST_F(FakeJniDeathTest, TestCallsThatDoNotFitTheNativeAreFatal) {
    registerTestNatives();
    EXPECT_DEATH(fakejni::callNative(kNatives, "add0", {1, 2}), "a reference is needed");
    EXPECT_DEATH(fakejni::callNative(kNatives, "add0", {1}), "1 arguments for");
    EXPECT_DEATH(fakejni::callNative(kNatives, "overloaded0", {1}), "overloaded");
    EXPECT_DEATH(fakejni::callNative(kNatives, "ratio0", {1}), "float or double");
    EXPECT_DEATH(fakejni::callNative(kNatives, "describe", {}), "is not native");
}

}  // namespace
