#include "native/frame/windows/JniStrings.h"

#include <cwchar>

wchar_t* wideFromJavaString(JNIEnv* env, jstring text, bool* failed) {
    if (failed) *failed = false;
    if (!text) return nullptr;
    jsize length = env->GetStringLength(text);
    const jchar* chars = env->GetStringChars(text, nullptr);
    wchar_t* copy = new wchar_t[static_cast<size_t>(length) + 1];
    jsize copied = 0;
    if (chars) {
        while (copied < length && chars[copied] != 0) {
            copy[copied] = static_cast<wchar_t>(chars[copied]);
            ++copied;
        }
        env->ReleaseStringChars(text, chars);
    } else {
        dropPendingException(env);
        if (failed) *failed = true;
    }
    copy[copied] = 0;
    return copy;
}

JavaWideArray::JavaWideArray(JNIEnv* env, jobjectArray array) {
    jsize count = array ? env->GetArrayLength(array) : 0;
    for (jsize i = 0; i < count; ++i) {
        jstring element = static_cast<jstring>(env->GetObjectArrayElement(array, i));
        bool elementFailed = false;
        texts_.push_back(wideFromJavaString(env, element, &elementFailed));
        failed_ |= elementFailed;
        env->DeleteLocalRef(element);
    }
}

JavaWideArray::~JavaWideArray() {
    for (wchar_t* text : texts_) delete[] text;
}

jstring javaStringFromWide(JNIEnv* env, const wchar_t* text) {
    if (!text) return nullptr;
    return javaStringFromWide(env, text, wcslen(text));
}

jstring javaStringFromWide(JNIEnv* env, const wchar_t* text, size_t length) {
    if (!text) return nullptr;
    jstring string = env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(length));
    if (!string) dropPendingException(env);
    return string;
}

jobjectArray newStringArray(JNIEnv* env, const JavaStringList& list) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass) {
        dropPendingException(env);
        return nullptr;
    }
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(list.size()), stringClass, nullptr);
    env->DeleteLocalRef(stringClass);
    if (!array) {
        dropPendingException(env);
        return nullptr;
    }
    jsize index = 0;
    for (jstring item : list.items()) env->SetObjectArrayElement(array, index++, item);
    return array;
}
