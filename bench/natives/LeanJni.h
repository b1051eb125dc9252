// A JNIEnv for benchmarks that does for strings and object arrays what a JVM
// does and nothing more: no recording and no checks, unlike the fake JNI of
// the tests, whose bookkeeping would dwarf the natives' own cost. Every
// function it does not serve is null, so a native that calls one crashes at
// once instead of measuring garbage. Objects live until endCall(), as local
// references live until a native returns.
#pragma once
#include <jni.h>

#include <cstring>
#include <string>
#include <vector>

namespace lean {

struct Object {
    std::u16string text;          // a String
    std::vector<jobject> items;   // an Object[]
};

inline std::vector<Object*>& liveObjects() {
    static std::vector<Object*> objects;
    return objects;
}

inline Object* newObject() {
    liveObjects().push_back(new Object);
    return liveObjects().back();
}

inline Object* of(jobject ref) { return reinterpret_cast<Object*>(ref); }

inline jstring JNICALL NewString(JNIEnv*, const jchar* chars, jsize length) {
    Object* s = newObject();
    s->text.assign(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(length));
    return reinterpret_cast<jstring>(s);
}
inline jsize JNICALL GetStringLength(JNIEnv*, jstring s) { return static_cast<jsize>(of(s)->text.size()); }
inline const jchar* JNICALL GetStringChars(JNIEnv*, jstring s, jboolean* isCopy) {
    if (isCopy) *isCopy = JNI_FALSE;
    return reinterpret_cast<const jchar*>(of(s)->text.c_str());
}
inline void JNICALL ReleaseStringChars(JNIEnv*, jstring, const jchar*) {}
inline jclass JNICALL FindClass(JNIEnv*, const char*) { return reinterpret_cast<jclass>(newObject()); }
inline void JNICALL DeleteLocalRef(JNIEnv*, jobject) {}
inline jobjectArray JNICALL NewObjectArray(JNIEnv*, jsize length, jclass, jobject initial) {
    Object* a = newObject();
    a->items.assign(static_cast<size_t>(length), initial);
    return reinterpret_cast<jobjectArray>(a);
}
inline void JNICALL SetObjectArrayElement(JNIEnv*, jobjectArray a, jsize index, jobject value) {
    of(a)->items[static_cast<size_t>(index)] = value;
}

inline JNIEnv* env() {
    static JNINativeInterface_ table = [] {
        JNINativeInterface_ t;
        memset(&t, 0, sizeof t);
        t.NewString = NewString;
        t.GetStringLength = GetStringLength;
        t.GetStringChars = GetStringChars;
        t.ReleaseStringChars = ReleaseStringChars;
        t.FindClass = FindClass;
        t.DeleteLocalRef = DeleteLocalRef;
        t.NewObjectArray = NewObjectArray;
        t.SetObjectArrayElement = SetObjectArrayElement;
        return t;
    }();
    static JNIEnv environment = {&table};
    return &environment;
}

inline jstring string(const std::u16string& text) {
    return NewString(env(), reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
}

// Frees what the call made, as the JVM drops a native's local references.
inline void endCall() {
    for (Object* o : liveObjects()) delete o;
    liveObjects().clear();
}

}  // namespace lean
