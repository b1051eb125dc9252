// The JNI functions of the fake env other than method calls: classes and
// lookups, exceptions, references, fields, strings, arrays and native
// registration.  Each records one line when it returns (see README.md).
#include <cstdlib>
#include <cstring>

#include "tests/support/jvm/EnvParts.h"

namespace fakejni {
namespace internal {

EnvEntry::EnvEntry(const char* function, bool allowedWithPending) : guard(lock()) {
    ensureModelLoaded();
    if (!allowedWithPending && currentPending())
        record(std::string("warning\t") + function + " called with an exception pending");
}

const ClassInfo* classArg(jclass ref, const char* function) {
    Object* obj = deref(ref, function);
    if (!obj) fatal(std::string(function) + ": null class");
    if (obj->kind != ObjectKind::Class) fatal(std::string(function) + ": not a class: " + render(obj));
    return obj->represented;
}

Object* stringArg(jstring ref, const char* function) {
    Object* obj = deref(ref, function);
    if (!obj) fatal(std::string(function) + ": null string");
    if (obj->kind != ObjectKind::String) fatal(std::string(function) + ": not a string: " + render(obj));
    return obj;
}

Object* arrayArg(jobject ref, const char* function, char elementType) {
    Object* obj = deref(ref, function);
    if (!obj) fatal(std::string(function) + ": null array");
    if (obj->kind != ObjectKind::Array) fatal(std::string(function) + ": not an array: " + render(obj));
    if (elementType && obj->elementType != elementType)
        fatal(std::string(function) + ": wrong array type: " + render(obj));
    return obj;
}

void throwPending(const char* className, const std::string& message) {
    std::wstring text = fromUtf8(message);
    setPending(newThrowable(className, &text, ""));
}

namespace {

std::string classText(const ClassInfo* cls) { return renderClass(cls); }

std::string quoted(const char* text) { return text ? quoteText(fromModifiedUtf8(text)) : "null"; }

std::string number(long long n) { return std::to_string(n); }

// ---- version, classes ----------------------------------------------------------

jint JNICALL GetVersion(JNIEnv*) {
    EnvEntry e("GetVersion");
    record("GetVersion\t-> 0x00010008");
    return JNI_VERSION_1_8;
}

jclass JNICALL FindClass(JNIEnv*, const char* name) {
    EnvEntry e("FindClass");
    if (!name) fatal("FindClass: null name");
    const ClassInfo* cls = lookupClass(name);
    jclass result = cls ? static_cast<jclass>(newLocalRef(classObjectOf(cls))) : nullptr;
    record("FindClass\t" + quoted(name) + "\t-> " + classText(cls));
    if (!cls) throwPending("java/lang/NoClassDefFoundError", name);
    return result;
}

jclass JNICALL GetSuperclass(JNIEnv*, jclass sub) {
    EnvEntry e("GetSuperclass");
    const ClassInfo* cls = classArg(sub, "GetSuperclass");
    const ClassInfo* super = cls->isInterface ? nullptr : superclassOf(cls);
    record("GetSuperclass\t" + classText(cls) + "\t-> " + classText(super));
    return super ? static_cast<jclass>(newLocalRef(classObjectOf(super))) : nullptr;
}

jboolean JNICALL IsAssignableFrom(JNIEnv*, jclass sub, jclass sup) {
    EnvEntry e("IsAssignableFrom");
    const ClassInfo* from = classArg(sub, "IsAssignableFrom");
    const ClassInfo* to = classArg(sup, "IsAssignableFrom");
    bool result = isAssignable(from, to);
    record("IsAssignableFrom\t" + classText(from) + "\t" + classText(to) + "\t-> " + (result ? "true" : "false"));
    return result ? JNI_TRUE : JNI_FALSE;
}

// ---- exceptions ----------------------------------------------------------------------

jint JNICALL Throw(JNIEnv*, jthrowable obj) {
    EnvEntry e("Throw");
    Object* t = deref(obj, "Throw");
    if (!t || !isThrowable(t->cls)) fatal("Throw: not a throwable: " + render(t));
    record("Throw\t" + render(t) + "\t-> 0");
    setPending(t);
    return 0;
}

jint JNICALL ThrowNew(JNIEnv*, jclass clazz, const char* msg) {
    EnvEntry e("ThrowNew");
    const ClassInfo* cls = classArg(clazz, "ThrowNew");
    if (!isThrowable(cls)) fatal("ThrowNew: not a throwable class: " + cls->name);
    std::wstring text = msg ? fromModifiedUtf8(msg) : std::wstring();
    Object* t = newThrowable(cls->name.c_str(), msg ? &text : nullptr, "");
    record("ThrowNew\t" + classText(cls) + "\t" + quoted(msg) + "\t-> 0");
    setPending(t);
    return 0;
}

jthrowable JNICALL ExceptionOccurred(JNIEnv*) {
    EnvEntry e("ExceptionOccurred", true);
    Object* t = currentPending();
    record("ExceptionOccurred\t-> " + render(t));
    return static_cast<jthrowable>(newLocalRef(t));
}

void JNICALL ExceptionDescribe(JNIEnv*) {
    EnvEntry e("ExceptionDescribe", true);
    Object* t = currentPending();
    record("ExceptionDescribe\t" + render(t));
    if (!t) return;
    writeStderr(stackTraceText(t));
    clearPending();  // as the JNI specifies: describing clears it
}

void JNICALL ExceptionClear(JNIEnv*) {
    EnvEntry e("ExceptionClear", true);
    record("ExceptionClear\t" + render(currentPending()));
    clearPending();
}

void JNICALL FatalError(JNIEnv*, const char* msg) {
    EnvEntry e("FatalError", true);
    fatal(std::string("FatalError called: ") + (msg ? msg : "(null)"));
}

jboolean JNICALL ExceptionCheck(JNIEnv*) {
    EnvEntry e("ExceptionCheck", true);
    bool pendingNow = currentPending() != nullptr;
    record(std::string("ExceptionCheck\t-> ") + (pendingNow ? "true" : "false"));
    return pendingNow ? JNI_TRUE : JNI_FALSE;
}

// ---- references ---------------------------------------------------------------------------

jint JNICALL PushLocalFrame(JNIEnv*, jint capacity) {
    EnvEntry e("PushLocalFrame", true);
    if (capacity < 0) fatal("PushLocalFrame: negative capacity");
    pushLocalFrame();
    record("PushLocalFrame\t" + number(capacity) + "\t-> 0");
    return 0;
}

jobject JNICALL PopLocalFrame(JNIEnv*, jobject result) {
    EnvEntry e("PopLocalFrame", true);
    Object* obj = deref(result, "PopLocalFrame");
    popLocalFrame();
    record("PopLocalFrame\t" + render(obj));
    return newLocalRef(obj);
}

jobject JNICALL NewGlobalRef(JNIEnv*, jobject ref) {
    EnvEntry e("NewGlobalRef");
    Object* obj = deref(ref, "NewGlobalRef");
    record("NewGlobalRef\t" + render(obj));
    return newGlobalRef(obj, RefKind::Global);
}

// Deleting a reference of the wrong kind is an error a real JVM may only
// notice much later; here it is fatal at once.
void deleteRef(jobject ref, RefKind kind, const char* function) {
    Object* obj = deref(ref, function);
    record(std::string(function) + "\t" + render(obj));
    if (!ref) return;
    Ref* r = refOf(ref);
    if (r->kind != kind) fatal(std::string(function) + ": reference of another kind: " + render(obj));
    r->live = false;
}

void JNICALL DeleteGlobalRef(JNIEnv*, jobject ref) {
    EnvEntry e("DeleteGlobalRef", true);
    deleteRef(ref, RefKind::Global, "DeleteGlobalRef");
}

void JNICALL DeleteLocalRef(JNIEnv*, jobject ref) {
    EnvEntry e("DeleteLocalRef", true);
    deleteRef(ref, RefKind::Local, "DeleteLocalRef");
}

jobject JNICALL NewWeakGlobalRef(JNIEnv*, jobject ref) {
    EnvEntry e("NewWeakGlobalRef");
    Object* obj = deref(ref, "NewWeakGlobalRef");
    record("NewWeakGlobalRef\t" + render(obj));
    return newGlobalRef(obj, RefKind::WeakGlobal);
}

void JNICALL DeleteWeakGlobalRef(JNIEnv*, jweak ref) {
    EnvEntry e("DeleteWeakGlobalRef", true);
    deleteRef(ref, RefKind::WeakGlobal, "DeleteWeakGlobalRef");
}

jboolean JNICALL IsSameObject(JNIEnv*, jobject a, jobject b) {
    EnvEntry e("IsSameObject");
    Object* x = deref(a, "IsSameObject");
    Object* y = deref(b, "IsSameObject");
    record("IsSameObject\t" + render(x) + "\t" + render(y) + "\t-> " + (x == y ? "true" : "false"));
    return x == y ? JNI_TRUE : JNI_FALSE;
}

jobject JNICALL NewLocalRef(JNIEnv*, jobject ref) {
    EnvEntry e("NewLocalRef");
    Object* obj = deref(ref, "NewLocalRef");
    record("NewLocalRef\t" + render(obj));
    return newLocalRef(obj);
}

jint JNICALL EnsureLocalCapacity(JNIEnv*, jint capacity) {
    EnvEntry e("EnsureLocalCapacity");
    jint result = capacity < 0 ? JNI_ERR : 0;  // local references are not limited here
    record("EnsureLocalCapacity\t" + number(capacity) + "\t-> " + number(result));
    return result;
}

jobjectRefType JNICALL GetObjectRefType(JNIEnv*, jobject ref) {
    EnvEntry e("GetObjectRefType");
    Ref* r = ref ? refOf(ref) : nullptr;
    jobjectRefType type = JNIInvalidRefType;
    if (r && r->live) {
        type = r->kind == RefKind::Local ? JNILocalRefType
               : r->kind == RefKind::Global ? JNIGlobalRefType
                                             : JNIWeakGlobalRefType;
    }
    record("GetObjectRefType\t-> " + number(type));
    return type;
}

// ---- objects ------------------------------------------------------------------------------------

jobject JNICALL AllocObject(JNIEnv*, jclass clazz) {
    EnvEntry e("AllocObject");
    const ClassInfo* cls = classArg(clazz, "AllocObject");
    if (cls->isAbstract || cls->isArray || cls->name == "java/lang/String" || cls->name == "java/lang/Class") {
        record("AllocObject\t" + classText(cls) + "\t-> null");
        throwPending("java/lang/InstantiationException", dottedName(cls->name));
        return nullptr;
    }
    Object* obj = newObjectOf(cls);
    record("AllocObject\t" + classText(cls) + "\t-> " + render(obj));
    return newLocalRef(obj);
}

jclass JNICALL GetObjectClass(JNIEnv*, jobject ref) {
    EnvEntry e("GetObjectClass");
    Object* obj = deref(ref, "GetObjectClass");
    if (!obj) fatal("GetObjectClass: null object");
    record("GetObjectClass\t" + render(obj) + "\t-> " + classText(obj->cls));
    return static_cast<jclass>(newLocalRef(classObjectOf(obj->cls)));
}

jboolean JNICALL IsInstanceOf(JNIEnv*, jobject ref, jclass clazz) {
    EnvEntry e("IsInstanceOf");
    Object* obj = deref(ref, "IsInstanceOf");
    const ClassInfo* cls = classArg(clazz, "IsInstanceOf");
    bool result = !obj || isAssignable(obj->cls, cls);  // null is an instance of every class in JNI
    record("IsInstanceOf\t" + render(obj) + "\t" + classText(cls) + "\t-> " + (result ? "true" : "false"));
    return result ? JNI_TRUE : JNI_FALSE;
}

// ---- method and field lookup ----------------------------------------------------------------

jmethodID lookupMethod(const char* function, jclass clazz, const char* name, const char* sig, bool wantStatic) {
    EnvEntry e(function);
    const ClassInfo* cls = classArg(clazz, function);
    if (!name || !sig) fatal(std::string(function) + ": null name or signature");
    const MethodInfo* m = (wantStatic && std::string(name) == "<init>") ? nullptr : findMethod(cls, name, sig, wantStatic);
    record(std::string(function) + "\t" + classText(cls) + "\t" + quoted(name) + "\t" + quoted(sig) + "\t-> " +
           renderMethod(m));
    if (!m) throwPending("java/lang/NoSuchMethodError", std::string(name) + sig);
    return reinterpret_cast<jmethodID>(const_cast<MethodInfo*>(m));
}

jmethodID JNICALL GetMethodID(JNIEnv*, jclass clazz, const char* name, const char* sig) {
    return lookupMethod("GetMethodID", clazz, name, sig, false);
}

jmethodID JNICALL GetStaticMethodID(JNIEnv*, jclass clazz, const char* name, const char* sig) {
    return lookupMethod("GetStaticMethodID", clazz, name, sig, true);
}

jfieldID lookupField(const char* function, jclass clazz, const char* name, const char* sig, bool wantStatic) {
    EnvEntry e(function);
    const ClassInfo* cls = classArg(clazz, function);
    if (!name || !sig) fatal(std::string(function) + ": null name or signature");
    const FieldInfo* f = findField(cls, name, sig, wantStatic);
    record(std::string(function) + "\t" + classText(cls) + "\t" + quoted(name) + "\t" + quoted(sig) + "\t-> " +
           renderField(f));
    if (!f) throwPending("java/lang/NoSuchFieldError", name);
    return reinterpret_cast<jfieldID>(const_cast<FieldInfo*>(f));
}

jfieldID JNICALL GetFieldID(JNIEnv*, jclass clazz, const char* name, const char* sig) {
    return lookupField("GetFieldID", clazz, name, sig, false);
}

jfieldID JNICALL GetStaticFieldID(JNIEnv*, jclass clazz, const char* name, const char* sig) {
    return lookupField("GetStaticFieldID", clazz, name, sig, true);
}

// ---- fields -------------------------------------------------------------------------------------------

char typeLetter(const std::string& descriptor) { return descriptor[0] == '[' ? 'L' : descriptor[0]; }

const FieldInfo* fieldArg(jfieldID id, const char* function, char letter, bool wantStatic) {
    if (!isKnownFieldId(id)) fatal(std::string(function) + ": invalid field ID");
    const FieldInfo* f = reinterpret_cast<const FieldInfo*>(id);
    if (f->isStatic != wantStatic) fatal(std::string(function) + ": wrong kind of field " + renderField(f));
    if (typeLetter(f->signature) != letter) fatal(std::string(function) + ": field of another type " + renderField(f));
    return f;
}

// The storage of an instance or static field, after checking that the
// object or class has it.
Slot* fieldSlot(const char* function, jobject target, jfieldID id, char letter, bool isStatic) {
    const FieldInfo* f = fieldArg(id, function, letter, isStatic);
    std::map<const FieldInfo*, Slot>* storage = nullptr;
    if (isStatic) {
        const ClassInfo* cls = classArg(static_cast<jclass>(target), function);
        if (!isAssignable(cls, f->owner)) fatal(std::string(function) + ": " + renderField(f) + " not in " + cls->name);
        storage = &const_cast<ClassInfo*>(f->owner)->statics;
    } else {
        Object* obj = deref(target, function);
        if (!obj) fatal(std::string(function) + ": null object");
        if (!isAssignable(obj->cls, f->owner)) fatal(std::string(function) + ": " + renderField(f) + " not in " + render(obj));
        storage = &obj->fields;
    }
    Slot& slot = (*storage)[f];
    slot.type = letter;
    return &slot;
}

Slot getField(const char* function, jobject target, jfieldID id, char letter, bool isStatic) {
    EnvEntry e(function);
    Slot value = *fieldSlot(function, target, id, letter, isStatic);
    record(std::string(function) + "\t" + renderField(reinterpret_cast<const FieldInfo*>(id)) + "\t-> " + render(value));
    return value;
}

void setField(const char* function, jobject target, jfieldID id, char letter, bool isStatic, jvalue v) {
    EnvEntry e(function);
    Slot* slot = fieldSlot(function, target, id, letter, isStatic);
    const FieldInfo* f = reinterpret_cast<const FieldInfo*>(id);
    if (letter == 'L') {
        Object* obj = deref(v.l, function);
        const ClassInfo* type = classIncludingHidden(f->signature[0] == '[' ? f->signature
                                                                             : f->signature.substr(1, f->signature.size() - 2));
        if (obj && type && !isAssignable(obj->cls, type)) fatal(std::string(function) + ": " + render(obj) + " does not fit " + renderField(f));
        slot->obj = obj;
    } else {
        slot->prim = v;
    }
    record(std::string(function) + "\t" + renderField(f) + "\t" + render(*slot));
}

jobject JNICALL GetObjectField(JNIEnv*, jobject o, jfieldID f) {
    Slot s = getField("GetObjectField", o, f, 'L', false);
    return newLocalRef(s.obj);
}

jobject JNICALL GetStaticObjectField(JNIEnv*, jclass c, jfieldID f) {
    Slot s = getField("GetStaticObjectField", c, f, 'L', true);
    return newLocalRef(s.obj);
}

void JNICALL SetObjectField(JNIEnv*, jobject o, jfieldID f, jobject v) {
    jvalue value{};
    value.l = v;
    setField("SetObjectField", o, f, 'L', false, value);
}

void JNICALL SetStaticObjectField(JNIEnv*, jclass c, jfieldID f, jobject v) {
    jvalue value{};
    value.l = v;
    setField("SetStaticObjectField", c, f, 'L', true, value);
}

#define FAKEJNI_PRIMITIVE_FIELDS(Name, type, letter, member)                                       \
    type JNICALL Get##Name##Field(JNIEnv*, jobject o, jfieldID f) {                                \
        return getField("Get" #Name "Field", o, f, letter, false).prim.member;                    \
    }                                                                                              \
    type JNICALL GetStatic##Name##Field(JNIEnv*, jclass c, jfieldID f) {                           \
        return getField("GetStatic" #Name "Field", c, f, letter, true).prim.member;               \
    }                                                                                              \
    void JNICALL Set##Name##Field(JNIEnv*, jobject o, jfieldID f, type v) {                        \
        jvalue value{};                                                                            \
        value.member = v;                                                                          \
        setField("Set" #Name "Field", o, f, letter, false, value);                                \
    }                                                                                              \
    void JNICALL SetStatic##Name##Field(JNIEnv*, jclass c, jfieldID f, type v) {                   \
        jvalue value{};                                                                            \
        value.member = v;                                                                          \
        setField("SetStatic" #Name "Field", c, f, letter, true, value);                           \
    }

FAKEJNI_PRIMITIVE_FIELDS(Boolean, jboolean, 'Z', z)
FAKEJNI_PRIMITIVE_FIELDS(Byte, jbyte, 'B', b)
FAKEJNI_PRIMITIVE_FIELDS(Char, jchar, 'C', c)
FAKEJNI_PRIMITIVE_FIELDS(Short, jshort, 'S', s)
FAKEJNI_PRIMITIVE_FIELDS(Int, jint, 'I', i)
FAKEJNI_PRIMITIVE_FIELDS(Long, jlong, 'J', j)
FAKEJNI_PRIMITIVE_FIELDS(Float, jfloat, 'F', f)
FAKEJNI_PRIMITIVE_FIELDS(Double, jdouble, 'D', d)

// ---- strings ----------------------------------------------------------------------------------------------

// False, with an OutOfMemoryError pending, once the test's limit is used
// up (failStringsAfter, failCopiesAfter).
bool heapTakes(int& left, const char* function) {
    if (left < 0) return true;
    if (left > 0) {
        --left;
        return true;
    }
    record(std::string(function) + "\t-> null (heap full)");
    throwPending("java/lang/OutOfMemoryError", "Java heap space");
    return false;
}

bool heapTakesString(const char* function) { return heapTakes(stringsLeft(), function); }
bool heapTakesCopy(const char* function) { return heapTakes(copiesLeft(), function); }

jstring JNICALL NewString(JNIEnv*, const jchar* chars, jsize len) {
    EnvEntry e("NewString");
    if (len < 0) fatal("NewString: negative length");
    if (!chars && len > 0) fatal("NewString: null characters");
    if (!heapTakesString("NewString")) return nullptr;
    std::wstring text(reinterpret_cast<const wchar_t*>(chars), static_cast<size_t>(len));
    Object* s = newStringObject(text);
    record("NewString\t" + quoteText(text) + "\t" + number(len) + "\t-> " + render(s));
    return static_cast<jstring>(newLocalRef(s));
}

jsize JNICALL GetStringLength(JNIEnv*, jstring str) {
    EnvEntry e("GetStringLength");
    Object* s = stringArg(str, "GetStringLength");
    record("GetStringLength\t" + render(s) + "\t-> " + number(static_cast<long long>(s->text.size())));
    return static_cast<jsize>(s->text.size());
}

// Chars and elements are handed out as copies that the matching Release
// function must give back; the copy is NUL-terminated as HotSpot's is.
void* openCopy(Object* owner, const char* function, const void* bytes, size_t size, size_t terminator) {
    unsigned char* copy = static_cast<unsigned char*>(malloc(size + terminator + 1));
    if (size) memcpy(copy, bytes, size);
    memset(copy + size, 0, terminator + 1);
    openBuffers()[copy] = OpenBuffer{owner, function};
    return copy;
}

// Ends a Get...Chars/Elements copy: the owner must be the object the copy
// came from.
void closeCopy(const void* copy, Object* owner, const char* function) {
    auto it = openBuffers().find(copy);
    if (it == openBuffers().end()) fatal(std::string(function) + ": not a buffer handed out by the matching Get function");
    if (it->second.owner != owner)
        fatal(std::string(function) + ": buffer from " + it->second.function + " belongs to " + render(it->second.owner));
    openBuffers().erase(it);
}

const jchar* JNICALL GetStringChars(JNIEnv*, jstring str, jboolean* isCopy) {
    EnvEntry e("GetStringChars");
    Object* s = stringArg(str, "GetStringChars");
    if (!heapTakesCopy("GetStringChars")) return nullptr;
    if (isCopy) *isCopy = JNI_TRUE;
    record("GetStringChars\t" + render(s));
    return static_cast<const jchar*>(openCopy(s, "GetStringChars", s->text.data(), s->text.size() * 2, 2));
}

void JNICALL ReleaseStringChars(JNIEnv*, jstring str, const jchar* chars) {
    EnvEntry e("ReleaseStringChars", true);
    Object* s = stringArg(str, "ReleaseStringChars");
    closeCopy(chars, s, "ReleaseStringChars");
    free(const_cast<jchar*>(chars));
    record("ReleaseStringChars\t" + render(s));
}

jstring JNICALL NewStringUTF(JNIEnv*, const char* utf) {
    EnvEntry e("NewStringUTF");
    if (!utf) {
        record("NewStringUTF\tnull\t-> null");
        return nullptr;
    }
    if (!heapTakesString("NewStringUTF")) return nullptr;
    Object* s = newStringObject(fromModifiedUtf8(utf));
    record("NewStringUTF\t" + quoted(utf) + "\t-> " + render(s));
    return static_cast<jstring>(newLocalRef(s));
}

jsize JNICALL GetStringUTFLength(JNIEnv*, jstring str) {
    EnvEntry e("GetStringUTFLength");
    Object* s = stringArg(str, "GetStringUTFLength");
    jsize n = static_cast<jsize>(toModifiedUtf8(s->text).size());
    record("GetStringUTFLength\t" + render(s) + "\t-> " + number(n));
    return n;
}

const char* JNICALL GetStringUTFChars(JNIEnv*, jstring str, jboolean* isCopy) {
    EnvEntry e("GetStringUTFChars");
    Object* s = stringArg(str, "GetStringUTFChars");
    if (!heapTakesCopy("GetStringUTFChars")) return nullptr;
    if (isCopy) *isCopy = JNI_TRUE;
    std::string utf = toModifiedUtf8(s->text);
    record("GetStringUTFChars\t" + render(s));
    return static_cast<const char*>(openCopy(s, "GetStringUTFChars", utf.data(), utf.size(), 1));
}

void JNICALL ReleaseStringUTFChars(JNIEnv*, jstring str, const char* chars) {
    EnvEntry e("ReleaseStringUTFChars", true);
    Object* s = stringArg(str, "ReleaseStringUTFChars");
    closeCopy(chars, s, "ReleaseStringUTFChars");
    free(const_cast<char*>(chars));
    record("ReleaseStringUTFChars\t" + render(s));
}

bool regionFits(jsize start, jsize len, size_t size) {
    return start >= 0 && len >= 0 && static_cast<size_t>(start) + static_cast<size_t>(len) <= size;
}

void JNICALL GetStringRegion(JNIEnv*, jstring str, jsize start, jsize len, jchar* buf) {
    EnvEntry e("GetStringRegion");
    Object* s = stringArg(str, "GetStringRegion");
    record("GetStringRegion\t" + render(s) + "\t" + number(start) + "\t" + number(len));
    if (!regionFits(start, len, s->text.size())) {
        throwPending("java/lang/StringIndexOutOfBoundsException", "offset " + number(start) + ", length " + number(len));
        return;
    }
    memcpy(buf, s->text.data() + start, static_cast<size_t>(len) * 2);
}

void JNICALL GetStringUTFRegion(JNIEnv*, jstring str, jsize start, jsize len, char* buf) {
    EnvEntry e("GetStringUTFRegion");
    Object* s = stringArg(str, "GetStringUTFRegion");
    record("GetStringUTFRegion\t" + render(s) + "\t" + number(start) + "\t" + number(len));
    if (!regionFits(start, len, s->text.size())) {
        throwPending("java/lang/StringIndexOutOfBoundsException", "offset " + number(start) + ", length " + number(len));
        return;
    }
    std::string utf = toModifiedUtf8(s->text.substr(static_cast<size_t>(start), static_cast<size_t>(len)));
    memcpy(buf, utf.c_str(), utf.size() + 1);
}

const jchar* JNICALL GetStringCritical(JNIEnv*, jstring str, jboolean* isCopy) {
    EnvEntry e("GetStringCritical");
    Object* s = stringArg(str, "GetStringCritical");
    if (isCopy) *isCopy = JNI_TRUE;
    record("GetStringCritical\t" + render(s));
    return static_cast<const jchar*>(openCopy(s, "GetStringCritical", s->text.data(), s->text.size() * 2, 2));
}

void JNICALL ReleaseStringCritical(JNIEnv*, jstring str, const jchar* chars) {
    EnvEntry e("ReleaseStringCritical", true);
    Object* s = stringArg(str, "ReleaseStringCritical");
    closeCopy(chars, s, "ReleaseStringCritical");
    free(const_cast<jchar*>(chars));
    record("ReleaseStringCritical\t" + render(s));
}

// ---- object arrays ---------------------------------------------------------------------------------

jsize JNICALL GetArrayLength(JNIEnv*, jarray array) {
    EnvEntry e("GetArrayLength");
    Object* a = arrayArg(array, "GetArrayLength", 0);
    record("GetArrayLength\t" + render(a) + "\t-> " + number(static_cast<long long>(a->length)));
    return static_cast<jsize>(a->length);
}

const ClassInfo* arrayClassOf(const ClassInfo* element) {
    std::string name = element->isArray ? "[" + element->name : "[L" + element->name + ";";
    return lookupClass(name);
}

jobjectArray JNICALL NewObjectArray(JNIEnv*, jsize len, jclass clazz, jobject init) {
    EnvEntry e("NewObjectArray");
    const ClassInfo* element = classArg(clazz, "NewObjectArray");
    Object* initial = deref(init, "NewObjectArray");
    if (initial && !isAssignable(initial->cls, element))
        fatal("NewObjectArray: initial element " + render(initial) + " is not a " + element->name);
    if (len < 0) {
        record("NewObjectArray\t" + number(len) + "\t" + classText(element) + "\t" + render(initial) + "\t-> null");
        throwPending("java/lang/NegativeArraySizeException", number(len));
        return nullptr;
    }
    Object* a = newArrayObject(arrayClassOf(element), static_cast<size_t>(len));
    for (Object*& slot : a->elements) slot = initial;
    record("NewObjectArray\t" + number(len) + "\t" + classText(element) + "\t" + render(initial) + "\t-> " + render(a));
    return static_cast<jobjectArray>(newLocalRef(a));
}

const ClassInfo* elementClassOf(const Object* array) {
    const std::string& name = array->cls->name;
    return classIncludingHidden(name[1] == 'L' ? name.substr(2, name.size() - 3) : name.substr(1));
}

jobject JNICALL GetObjectArrayElement(JNIEnv*, jobjectArray array, jsize index) {
    EnvEntry e("GetObjectArrayElement");
    Object* a = arrayArg(array, "GetObjectArrayElement", 'L');
    if (index < 0 || static_cast<size_t>(index) >= a->length) {
        record("GetObjectArrayElement\t" + render(a) + "\t" + number(index) + "\t-> null");
        throwPending("java/lang/ArrayIndexOutOfBoundsException", "Index " + number(index) + " out of bounds for length " + number(static_cast<long long>(a->length)));
        return nullptr;
    }
    Object* element = a->elements[static_cast<size_t>(index)];
    record("GetObjectArrayElement\t" + render(a) + "\t" + number(index) + "\t-> " + render(element));
    return newLocalRef(element);
}

void JNICALL SetObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    EnvEntry e("SetObjectArrayElement");
    Object* a = arrayArg(array, "SetObjectArrayElement", 'L');
    Object* v = deref(value, "SetObjectArrayElement");
    bool inBounds = index >= 0 && static_cast<size_t>(index) < a->length;
    const ClassInfo* element = elementClassOf(a);
    bool fits = !v || !element || isAssignable(v->cls, element);
    if (inBounds && fits) a->elements[static_cast<size_t>(index)] = v;
    record("SetObjectArrayElement\t" + render(a) + "\t" + number(index) + "\t" + render(v));
    if (!inBounds)
        throwPending("java/lang/ArrayIndexOutOfBoundsException", "Index " + number(index) + " out of bounds for length " + number(static_cast<long long>(a->length)));
    else if (!fits)
        throwPending("java/lang/ArrayStoreException", dottedName(v->cls->name));
}

// ---- primitive arrays ------------------------------------------------------------------------------

jarray newPrimitiveArray(const char* function, char letter, jsize len) {
    EnvEntry e(function);
    if (len < 0) {
        record(std::string(function) + "\t" + number(len) + "\t-> null");
        throwPending("java/lang/NegativeArraySizeException", number(len));
        return nullptr;
    }
    Object* a = newArrayObject(lookupClass(std::string("[") + letter), static_cast<size_t>(len));
    record(std::string(function) + "\t" + number(len) + "\t-> " + render(a));
    return static_cast<jarray>(newLocalRef(a));
}

void* getElements(const char* function, jarray array, char letter, jboolean* isCopy) {
    EnvEntry e(function);
    Object* a = arrayArg(array, function, letter);
    if (!heapTakesCopy(function)) return nullptr;
    if (isCopy) *isCopy = JNI_TRUE;
    record(std::string(function) + "\t" + render(a));
    return openCopy(a, function, a->data.data(), a->data.size(), 0);
}

const char* modeName(jint mode) {
    switch (mode) {
        case 0: return "0";
        case JNI_COMMIT: return "JNI_COMMIT";
        case JNI_ABORT: return "JNI_ABORT";
        default: return nullptr;
    }
}

// Mode 0 copies back and frees, JNI_COMMIT copies back and keeps the copy,
// JNI_ABORT frees without copying back.
void releaseElements(const char* function, jarray array, char letter, void* elems, jint mode) {
    EnvEntry e(function, true);
    Object* a = arrayArg(array, function, letter);
    if (!modeName(mode)) fatal(std::string(function) + ": unknown mode " + number(mode));
    auto it = openBuffers().find(elems);
    if (it == openBuffers().end()) fatal(std::string(function) + ": not a buffer handed out by the matching Get function");
    if (it->second.owner != a)
        fatal(std::string(function) + ": buffer from " + it->second.function + " belongs to " + render(it->second.owner));
    if (mode != JNI_ABORT && !a->data.empty()) memcpy(a->data.data(), elems, a->data.size());
    if (mode != JNI_COMMIT) {
        openBuffers().erase(it);
        free(elems);
    }
    record(std::string(function) + "\t" + render(a) + "\tmode " + modeName(mode));
}

void arrayRegion(const char* function, jarray array, char letter, jsize start, jsize len, void* buf, bool write) {
    EnvEntry e(function);
    Object* a = arrayArg(array, function, letter);
    size_t size = elementSize(letter);
    bool fits = regionFits(start, len, a->length);
    if (fits && len > 0) {
        unsigned char* at = a->data.data() + static_cast<size_t>(start) * size;
        if (write) memcpy(at, buf, static_cast<size_t>(len) * size);
        else memcpy(buf, at, static_cast<size_t>(len) * size);
    }
    record(std::string(function) + "\t" + render(a) + "\t" + number(start) + "\t" + number(len));
    if (!fits)
        throwPending("java/lang/ArrayIndexOutOfBoundsException",
                     "Array region " + number(start) + ".." + number(static_cast<long long>(start) + len) +
                         " out of bounds for length " + number(static_cast<long long>(a->length)));
}

#define FAKEJNI_PRIMITIVE_ARRAYS(Name, type, letter)                                                     \
    type##Array JNICALL New##Name##Array(JNIEnv*, jsize len) {                                          \
        return static_cast<type##Array>(newPrimitiveArray("New" #Name "Array", letter, len));         \
    }                                                                                                    \
    type* JNICALL Get##Name##ArrayElements(JNIEnv*, type##Array array, jboolean* isCopy) {              \
        return static_cast<type*>(getElements("Get" #Name "ArrayElements", array, letter, isCopy));    \
    }                                                                                                    \
    void JNICALL Release##Name##ArrayElements(JNIEnv*, type##Array array, type* elems, jint mode) {     \
        releaseElements("Release" #Name "ArrayElements", array, letter, elems, mode);                  \
    }                                                                                                    \
    void JNICALL Get##Name##ArrayRegion(JNIEnv*, type##Array array, jsize start, jsize len, type* buf) { \
        arrayRegion("Get" #Name "ArrayRegion", array, letter, start, len, buf, false);                 \
    }                                                                                                    \
    void JNICALL Set##Name##ArrayRegion(JNIEnv*, type##Array array, jsize start, jsize len,             \
                                        const type* buf) {                                               \
        arrayRegion("Set" #Name "ArrayRegion", array, letter, start, len, const_cast<type*>(buf), true); \
    }

FAKEJNI_PRIMITIVE_ARRAYS(Boolean, jboolean, 'Z')
FAKEJNI_PRIMITIVE_ARRAYS(Byte, jbyte, 'B')
FAKEJNI_PRIMITIVE_ARRAYS(Char, jchar, 'C')
FAKEJNI_PRIMITIVE_ARRAYS(Short, jshort, 'S')
FAKEJNI_PRIMITIVE_ARRAYS(Int, jint, 'I')
FAKEJNI_PRIMITIVE_ARRAYS(Long, jlong, 'J')
FAKEJNI_PRIMITIVE_ARRAYS(Float, jfloat, 'F')
FAKEJNI_PRIMITIVE_ARRAYS(Double, jdouble, 'D')

void* JNICALL GetPrimitiveArrayCritical(JNIEnv*, jarray array, jboolean* isCopy) {
    EnvEntry e("GetPrimitiveArrayCritical");
    Object* a = arrayArg(array, "GetPrimitiveArrayCritical", 0);
    if (a->elementType == 'L') fatal("GetPrimitiveArrayCritical: not a primitive array: " + render(a));
    if (isCopy) *isCopy = JNI_TRUE;
    record("GetPrimitiveArrayCritical\t" + render(a));
    return openCopy(a, "GetPrimitiveArrayCritical", a->data.data(), a->data.size(), 0);
}

void JNICALL ReleasePrimitiveArrayCritical(JNIEnv*, jarray array, void* carray, jint mode) {
    Object* a = nullptr;
    {
        std::lock_guard<std::recursive_mutex> guard(lock());
        a = arrayArg(array, "ReleasePrimitiveArrayCritical", 0);
    }
    releaseElements("ReleasePrimitiveArrayCritical", array, a->elementType, carray, mode);
}

// ---- natives ------------------------------------------------------------------------------------------

// Binds one row as HotSpot does: the method must exist (in the class or a
// superclass) and be native; otherwise NoSuchMethodError and the call fails,
// with the rows before it staying bound.
bool registerRow(const ClassInfo* cls, const JNINativeMethod& row) {
    if (!row.name || !row.signature) fatal("RegisterNatives: null name or signature");
    if (!row.fnPtr) fatal(std::string("RegisterNatives: null function for ") + row.name + row.signature);
    const MethodInfo* m = findMethod(cls, row.name, row.signature, true);
    if (!m) m = findMethod(cls, row.name, row.signature, false);
    char address[32];
    snprintf(address, sizeof address, "%p", row.fnPtr);
    std::string line = "RegisterNatives row\t" + classText(cls) + "\t" + quoted(row.name) + "\t" + quoted(row.signature) +
                       "\t" + address + "\t-> ";
    if (!m || !m->isNative) {
        record(line + (m ? "not native" : "no such method"));
        throwPending("java/lang/NoSuchMethodError",
                     "Method '" + cls->name + "." + row.name + row.signature + "' " +
                         (m ? "is not declared as native" : "name or signature does not match"));
        return false;
    }
    nativeBindings()[m] = row.fnPtr;
    registrationLog().push_back(Registration{m->owner->name, m->name, m->signature, row.fnPtr});
    record(line + "bound");
    return true;
}

jint JNICALL RegisterNatives(JNIEnv*, jclass clazz, const JNINativeMethod* methods, jint nMethods) {
    EnvEntry e("RegisterNatives");
    const ClassInfo* cls = classArg(clazz, "RegisterNatives");
    if (nMethods < 0 || (nMethods > 0 && !methods)) fatal("RegisterNatives: bad method table");
    jint result = 0;
    for (jint i = 0; i < nMethods && result == 0; ++i)
        if (!registerRow(cls, methods[i])) result = JNI_ERR;
    record("RegisterNatives\t" + classText(cls) + "\t" + number(nMethods) + "\t-> " + number(result));
    return result;
}

jint JNICALL UnregisterNatives(JNIEnv*, jclass clazz) {
    EnvEntry e("UnregisterNatives");
    const ClassInfo* cls = classArg(clazz, "UnregisterNatives");
    for (auto it = nativeBindings().begin(); it != nativeBindings().end();)
        it = it->first->owner == cls ? nativeBindings().erase(it) : std::next(it);
    std::vector<Registration>& log = registrationLog();
    for (auto it = log.begin(); it != log.end();) it = it->className == cls->name ? log.erase(it) : std::next(it);
    record("UnregisterNatives\t" + classText(cls) + "\t-> 0");
    return 0;
}

jint JNICALL GetJavaVM(JNIEnv*, JavaVM** vm) {
    EnvEntry e("GetJavaVM");
    if (!vm) fatal("GetJavaVM: null result pointer");
    *vm = theVm();
    record("GetJavaVM\t-> 0");
    return 0;
}

}  // namespace

void fillEnvFunctions(JNINativeInterface_* t) {
    t->GetVersion = GetVersion;
    t->FindClass = FindClass;
    t->GetSuperclass = GetSuperclass;
    t->IsAssignableFrom = IsAssignableFrom;
    t->Throw = Throw;
    t->ThrowNew = ThrowNew;
    t->ExceptionOccurred = ExceptionOccurred;
    t->ExceptionDescribe = ExceptionDescribe;
    t->ExceptionClear = ExceptionClear;
    t->FatalError = FatalError;
    t->ExceptionCheck = ExceptionCheck;
    t->PushLocalFrame = PushLocalFrame;
    t->PopLocalFrame = PopLocalFrame;
    t->NewGlobalRef = NewGlobalRef;
    t->DeleteGlobalRef = DeleteGlobalRef;
    t->DeleteLocalRef = DeleteLocalRef;
    t->IsSameObject = IsSameObject;
    t->NewLocalRef = NewLocalRef;
    t->EnsureLocalCapacity = EnsureLocalCapacity;
    t->NewWeakGlobalRef = NewWeakGlobalRef;
    t->DeleteWeakGlobalRef = DeleteWeakGlobalRef;
    t->GetObjectRefType = GetObjectRefType;
    t->AllocObject = AllocObject;
    t->GetObjectClass = GetObjectClass;
    t->IsInstanceOf = IsInstanceOf;
    t->GetMethodID = GetMethodID;
    t->GetStaticMethodID = GetStaticMethodID;
    t->GetFieldID = GetFieldID;
    t->GetStaticFieldID = GetStaticFieldID;
    t->GetObjectField = GetObjectField;
    t->GetStaticObjectField = GetStaticObjectField;
    t->SetObjectField = SetObjectField;
    t->SetStaticObjectField = SetStaticObjectField;
#define FAKEJNI_FILL_FIELDS(Name)                    \
    t->Get##Name##Field = Get##Name##Field;          \
    t->GetStatic##Name##Field = GetStatic##Name##Field; \
    t->Set##Name##Field = Set##Name##Field;          \
    t->SetStatic##Name##Field = SetStatic##Name##Field;
    FAKEJNI_FILL_FIELDS(Boolean)
    FAKEJNI_FILL_FIELDS(Byte)
    FAKEJNI_FILL_FIELDS(Char)
    FAKEJNI_FILL_FIELDS(Short)
    FAKEJNI_FILL_FIELDS(Int)
    FAKEJNI_FILL_FIELDS(Long)
    FAKEJNI_FILL_FIELDS(Float)
    FAKEJNI_FILL_FIELDS(Double)
    t->NewString = NewString;
    t->GetStringLength = GetStringLength;
    t->GetStringChars = GetStringChars;
    t->ReleaseStringChars = ReleaseStringChars;
    t->NewStringUTF = NewStringUTF;
    t->GetStringUTFLength = GetStringUTFLength;
    t->GetStringUTFChars = GetStringUTFChars;
    t->ReleaseStringUTFChars = ReleaseStringUTFChars;
    t->GetStringRegion = GetStringRegion;
    t->GetStringUTFRegion = GetStringUTFRegion;
    t->GetStringCritical = GetStringCritical;
    t->ReleaseStringCritical = ReleaseStringCritical;
    t->GetArrayLength = GetArrayLength;
    t->NewObjectArray = NewObjectArray;
    t->GetObjectArrayElement = GetObjectArrayElement;
    t->SetObjectArrayElement = SetObjectArrayElement;
#define FAKEJNI_FILL_ARRAYS(Name)                                  \
    t->New##Name##Array = New##Name##Array;                        \
    t->Get##Name##ArrayElements = Get##Name##ArrayElements;        \
    t->Release##Name##ArrayElements = Release##Name##ArrayElements; \
    t->Get##Name##ArrayRegion = Get##Name##ArrayRegion;            \
    t->Set##Name##ArrayRegion = Set##Name##ArrayRegion;
    FAKEJNI_FILL_ARRAYS(Boolean)
    FAKEJNI_FILL_ARRAYS(Byte)
    FAKEJNI_FILL_ARRAYS(Char)
    FAKEJNI_FILL_ARRAYS(Short)
    FAKEJNI_FILL_ARRAYS(Int)
    FAKEJNI_FILL_ARRAYS(Long)
    FAKEJNI_FILL_ARRAYS(Float)
    FAKEJNI_FILL_ARRAYS(Double)
    t->GetPrimitiveArrayCritical = GetPrimitiveArrayCritical;
    t->ReleasePrimitiveArrayCritical = ReleasePrimitiveArrayCritical;
    t->RegisterNatives = RegisterNatives;
    t->UnregisterNatives = UnregisterNatives;
    t->GetJavaVM = GetJavaVM;
}

}  // namespace internal
}  // namespace fakejni
