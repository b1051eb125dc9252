// Strings and string arrays between Java and Windows. Java strings and the
// "W" functions exchange UTF-16 code units unchanged; no code page is
// involved anywhere.
#pragma once
#include <jni.h>

#include <vector>

// A new NUL-terminated UTF-16 copy of the Java string, or null for a null
// reference. A NUL inside the Java string ends the copy, so Windows sees the
// text up to it. Freed with delete[]. When the VM cannot hand out the
// string's characters (a full heap) the copy is empty, `failed` is set and
// the VM's exception is dropped, since natives never throw.
wchar_t* wideFromJavaString(JNIEnv* env, jstring text, bool* failed = nullptr);

// Owns the copy of wideFromJavaString for the life of a native.
class JavaWide {
public:
    JavaWide(JNIEnv* env, jstring text) : text_(wideFromJavaString(env, text, &failed_)) {}
    ~JavaWide() { delete[] text_; }
    JavaWide(const JavaWide&) = delete;
    JavaWide& operator=(const JavaWide&) = delete;

    // Null for a null Java string: the Windows calls read that as absent.
    const wchar_t* get() const { return text_; }
    wchar_t* mutableText() const { return text_; }
    bool isNull() const { return text_ == nullptr; }
    // The VM could not copy the string. Its stand-in, the empty text, is not
    // what the caller asked for (an empty value name is the key's default
    // value, an empty subkey the key itself), so the native must fail
    // without acting on it.
    bool failed() const { return failed_; }

private:
    bool failed_ = false;  // declared first: text_'s initializer sets it
    wchar_t* text_;
};

// The elements of a Java String[] as native copies (wideFromJavaString) for
// the life of a native; a null array has no elements.
class JavaWideArray {
public:
    JavaWideArray(JNIEnv* env, jobjectArray array);
    ~JavaWideArray();
    JavaWideArray(const JavaWideArray&) = delete;
    JavaWideArray& operator=(const JavaWideArray&) = delete;

    size_t size() const { return texts_.size(); }
    // The element's text; a null element reads as the empty string.
    const wchar_t* at(size_t i) const { return texts_[i] ? texts_[i] : L""; }
    // Some element could not be copied (JavaWide::failed).
    bool failed() const { return failed_; }

private:
    std::vector<wchar_t*> texts_;
    bool failed_ = false;
};

// True when any of the copies failed (JavaWide::failed).
template <class... Copies>
bool anyCopyFailed(const Copies&... copies) {
    return (copies.failed() || ...);
}

// A failed JNI call that left an exception pending (a missing class or
// constructor, a full heap) must not reach Java, since natives never throw,
// nor be pending at the native's next JNI call.
inline void dropPendingException(JNIEnv* env) {
    if (env->ExceptionCheck()) env->ExceptionClear();
}

// NewString of the text up to its NUL; null for a null text, and null with
// nothing pending when the JVM cannot make the string.
jstring javaStringFromWide(JNIEnv* env, const wchar_t* text);
jstring javaStringFromWide(JNIEnv* env, const wchar_t* text, size_t length);

// The references collected for a String[] result: a string that NewString
// could not make is left out, so the array holds exactly the strings made.
class JavaStringList {
public:
    void add(jstring text) {
        if (text) items_.push_back(text);
    }
    size_t size() const { return items_.size(); }
    const std::vector<jstring>& items() const { return items_; }

private:
    std::vector<jstring> items_;
};

// A java/lang/String array of exactly the listed strings, in order; null
// when the class or the array cannot be made.
jobjectArray newStringArray(JNIEnv* env, const JavaStringList& list);
