// A JNIEnv for benchmarks that does for strings, object arrays and byte
// arrays what a JVM does and nothing more: no recording and no checks,
// unlike the fake JNI of the tests, whose bookkeeping would dwarf the
// natives' own cost. As in HotSpot, NewByteArray takes a zeroed array from
// memory the heap already holds (a bump pointer in an arena here, a
// thread-local allocation buffer there), Get/ReleaseByteArrayElements hand
// out and copy back a copy on the C heap, and the region calls copy the
// span they name. Every function it does not serve is null, so a native
// that calls one crashes at once instead of measuring garbage. Objects live
// until endCall(), as local references live until a native returns.
#pragma once
#include <jni.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace lean {

struct Bytes {
    jbyte* data = nullptr;
    size_t length = 0;
    size_t size() const { return length; }
    bool empty() const { return length == 0; }
};

struct Object {
    std::u16string text;          // a String
    std::vector<jobject> items;   // an Object[]
    Bytes bytes;                  // a byte[], in the arena
    bool isByteArray = false;
};

inline std::vector<Object*>& liveObjects() {
    static std::vector<Object*> objects;
    return objects;
}

// Where the arena's free part began when each live object was made, so
// that endCall() gives the space of the objects it frees back.
inline std::vector<size_t>& arenaTopBefore() {
    static std::vector<size_t> tops;
    return tops;
}

struct Arena {
    std::vector<jbyte> memory = std::vector<jbyte>(size_t(64) << 20);  // touched once, up front
    size_t top = 0;
};

inline Arena& arena() {
    static Arena a;
    return a;
}

inline Object* newObject() {
    arenaTopBefore().push_back(arena().top);
    liveObjects().push_back(new Object);
    return liveObjects().back();
}

inline Object* of(jobject ref) { return reinterpret_cast<Object*>(ref); }

inline jsize JNICALL GetArrayLength(JNIEnv*, jarray a) {
    return static_cast<jsize>(of(a)->isByteArray ? of(a)->bytes.size() : of(a)->items.size());
}
inline jbyteArray JNICALL NewByteArray(JNIEnv*, jsize length) {
    if (length < 0) return nullptr;
    Arena& heap = arena();
    if (static_cast<size_t>(length) > heap.memory.size() - heap.top) return nullptr;
    Object* a = newObject();
    a->isByteArray = true;
    a->bytes.data = heap.memory.data() + heap.top;
    a->bytes.length = static_cast<size_t>(length);
    heap.top += (a->bytes.length + 7) & ~size_t(7);
    memset(a->bytes.data, 0, a->bytes.length);
    return reinterpret_cast<jbyteArray>(a);
}
inline jbyte* JNICALL GetByteArrayElements(JNIEnv*, jbyteArray a, jboolean* isCopy) {
    if (isCopy) *isCopy = JNI_TRUE;
    Bytes& bytes = of(a)->bytes;
    jbyte* copy = static_cast<jbyte*>(malloc(bytes.size() + 1));
    if (copy && !bytes.empty()) memcpy(copy, bytes.data, bytes.size());
    return copy;
}
inline void JNICALL ReleaseByteArrayElements(JNIEnv*, jbyteArray a, jbyte* elements, jint mode) {
    Bytes& bytes = of(a)->bytes;
    if (mode != JNI_ABORT && !bytes.empty()) memcpy(bytes.data, elements, bytes.size());
    if (mode != JNI_COMMIT) free(elements);
}
inline void JNICALL GetByteArrayRegion(JNIEnv*, jbyteArray a, jsize start, jsize length, jbyte* into) {
    if (length > 0) memcpy(into, of(a)->bytes.data + start, static_cast<size_t>(length));
}
inline void JNICALL SetByteArrayRegion(JNIEnv*, jbyteArray a, jsize start, jsize length, const jbyte* from) {
    if (length > 0) memcpy(of(a)->bytes.data + start, from, static_cast<size_t>(length));
}
inline jboolean JNICALL ExceptionCheck(JNIEnv*) { return JNI_FALSE; }
inline void JNICALL ExceptionClear(JNIEnv*) {}

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
        t.GetArrayLength = GetArrayLength;
        t.NewByteArray = NewByteArray;
        t.GetByteArrayElements = GetByteArrayElements;
        t.ReleaseByteArrayElements = ReleaseByteArrayElements;
        t.GetByteArrayRegion = GetByteArrayRegion;
        t.SetByteArrayRegion = SetByteArrayRegion;
        t.ExceptionCheck = ExceptionCheck;
        t.ExceptionClear = ExceptionClear;
        return t;
    }();
    static JNIEnv environment = {&table};
    return &environment;
}

inline jstring string(const std::u16string& text) {
    return NewString(env(), reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
}

// How many objects live now: endCall(mark()) later keeps these.
inline size_t mark() { return liveObjects().size(); }

// Frees what was made since the mark, as the JVM drops a native's local
// references when it returns.
inline void endCall(size_t kept = 0) {
    if (kept >= liveObjects().size()) return;
    for (size_t i = kept; i < liveObjects().size(); ++i) delete liveObjects()[i];
    arena().top = arenaTopBefore()[kept];
    liveObjects().resize(kept);
    arenaTopBefore().resize(kept);
}

}  // namespace lean
