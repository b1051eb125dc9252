// Calling Java methods from native code: the Call<Type>Method families and
// NewObject.  The three forms of each (arguments as "...", va_list or
// jvalue array; the C++ wrappers of jni.h use the va_list form) record
// under the name of the family.  A call is checked like -Xcheck:jni would check it (method ID of
// the receiver's class, Call variant matching the return type, arguments of
// the declared types), recorded with its arguments when it starts and its
// result when it returns, and run by, in this order: a behaviour the test
// installed, the registered native, a built-in behaviour of the java/lang
// classes; an unregistered native throws UnsatisfiedLinkError.  Anything else is fatal: the fake never makes up a result.
#include <cstdarg>
#include <cstdio>

#include "tests/support/jvm/EnvParts.h"

namespace fakejni {
namespace internal {

std::map<const MethodInfo*, void*>& nativeBindings() {
    static std::map<const MethodInfo*, void*> bindings;
    return bindings;
}

std::vector<Registration>& registrationLog() {
    static std::vector<Registration> log;
    return log;
}

std::map<const MethodInfo*, MethodHandler>& methodHandlers() {
    static std::map<const MethodInfo*, MethodHandler> handlers;
    return handlers;
}

std::map<std::wstring, std::wstring>& systemProperties() {
    static std::map<std::wstring, std::wstring> properties;
    return properties;
}

int& stringsLeft() {
    static int left = -1;
    return left;
}

int& copiesLeft() {
    static int left = -1;
    return left;
}

std::string throwableText(const Object* t) {
    std::string text = dottedName(t->cls->name);
    if (t->hasMessage) text += ": " + toUtf8(t->message);
    return text;
}

std::string stackTraceText(const Object* t) {
    std::string text = "Exception in thread \"main\" " + throwableText(t) + "\n";
    if (!t->thrownAt.empty()) text += "\tat " + t->thrownAt + "\n";
    return text;
}

namespace {

char letterOf(const std::string& descriptor) { return descriptor[0] == '[' ? 'L' : descriptor[0]; }

const ClassInfo* classOfDescriptor(const std::string& descriptor) {
    if (descriptor[0] == '[') return classIncludingHidden(descriptor);
    if (descriptor[0] == 'L') return classIncludingHidden(descriptor.substr(1, descriptor.size() - 2));
    return nullptr;
}

std::vector<std::string> parametersOf(const MethodInfo* m, std::string* returnType) {
    std::vector<std::string> params;
    std::string ret;
    if (!splitParameters(m->signature, &params, &ret)) fatal("malformed signature " + renderMethod(m));
    if (returnType) *returnType = ret;
    return params;
}

Slot defaultOf(char letter) {
    Slot s;
    s.type = letter;
    return s;
}

// An argument must be an instance of its parameter's class, where the model
// knows that class.
void checkArgumentType(const Slot& arg, const std::string& param, const MethodInfo* m, size_t index, const char* fn) {
    if (arg.type != 'L' || !arg.obj) return;
    const ClassInfo* type = classOfDescriptor(param);
    if (type && !isAssignable(arg.obj->cls, type))
        fatal(std::string(fn) + ": argument " + std::to_string(index + 1) + " of " + renderMethod(m) + " is " +
              render(arg.obj) + ", not a " + param);
}

Slot readVaArg(char letter, va_list* va, const char* fn) {
    Slot s;
    s.type = letter;
    switch (letter) {
        case 'Z': s.prim.z = static_cast<jboolean>(va_arg(*va, int)); break;
        case 'B': s.prim.b = static_cast<jbyte>(va_arg(*va, int)); break;
        case 'C': s.prim.c = static_cast<jchar>(va_arg(*va, int)); break;
        case 'S': s.prim.s = static_cast<jshort>(va_arg(*va, int)); break;
        case 'I': s.prim.i = va_arg(*va, jint); break;
        case 'J': s.prim.j = va_arg(*va, jlong); break;
        case 'F': s.prim.f = static_cast<jfloat>(va_arg(*va, double)); break;
        case 'D': s.prim.d = va_arg(*va, double); break;
        default: s.obj = deref(va_arg(*va, jobject), fn); break;
    }
    return s;
}

Slot readArrayArg(char letter, const jvalue& v, const char* fn) {
    Slot s;
    s.type = letter;
    if (letter == 'L') s.obj = deref(v.l, fn);
    else s.prim = v;
    return s;
}

std::vector<Slot> readArgs(const MethodInfo* m, va_list* va, const jvalue* array, const char* fn) {
    std::vector<std::string> params = parametersOf(m, nullptr);
    if (!va && !array && !params.empty()) fatal(std::string(fn) + ": null argument array");
    std::vector<Slot> args;
    for (size_t i = 0; i < params.size(); ++i) {
        char letter = letterOf(params[i]);
        args.push_back(va ? readVaArg(letter, va, fn) : readArrayArg(letter, array[i], fn));
        checkArgumentType(args.back(), params[i], m, i, fn);
    }
    return args;
}

std::string renderArgs(const std::vector<Slot>& args) {
    std::string out;
    for (const Slot& a : args) out += "\t" + render(a);
    return out;
}

const MethodInfo* checkedMethod(jmethodID id, const char* fn) {
    if (!isKnownMethodId(id)) fatal(std::string(fn) + ": invalid method ID");
    return reinterpret_cast<const MethodInfo*>(id);
}

void checkReturnLetter(const MethodInfo* m, char expected, const char* fn) {
    std::string ret;
    parametersOf(m, &ret);
    if (letterOf(ret) != expected) fatal(std::string(fn) + " used for " + renderMethod(m) + ", which returns " + ret);
}

// ---- built-in behaviours of the java/lang classes ------------------------------------

using Builtin = Slot (*)(Object* self, const std::vector<Slot>& args);

Slot objectResult(Object* obj) {
    Slot s;
    s.type = 'L';
    s.obj = obj;
    return s;
}

Slot stringResult(const std::string& utf8) { return objectResult(newStringObject(fromUtf8(utf8))); }

Slot intResult(jint i) {
    Slot s = defaultOf('I');
    s.prim.i = i;
    return s;
}

Slot booleanResult(bool z) {
    Slot s = defaultOf('Z');
    s.prim.z = z ? JNI_TRUE : JNI_FALSE;
    return s;
}

Object* newBox(const char* className, const char* ctorSig, const Slot& value) {
    const ClassInfo* cls = lookupClass(className);
    const MethodInfo* ctor = cls ? findMethod(cls, "<init>", ctorSig, false) : nullptr;
    if (!ctor) fatal(std::string("the class model lacks ") + className + ".<init>" + ctorSig);
    Object* box = newObjectOf(cls);
    box->constructor = ctor;
    box->constructorArgs = {value};
    return box;
}

Slot boxed(const Object* self, char letter) {
    Slot v;
    if (!boxedValue(self, &v)) fatal("no value in " + render(self));
    if (v.type == letter) return v;
    Slot out = defaultOf(letter);
    long long n = v.type == 'J' ? v.prim.j : v.type == 'Z' ? v.prim.z : v.prim.i;
    if (letter == 'J') out.prim.j = n;
    else out.prim.i = static_cast<jint>(n);
    return out;
}

std::string boxText(const Object* self) {
    Slot v = boxed(self, self->cls->name == "java/lang/Long" ? 'J' : self->cls->name == "java/lang/Boolean" ? 'Z' : 'I');
    if (v.type == 'Z') return v.prim.z ? "true" : "false";
    return std::to_string(v.type == 'J' ? v.prim.j : v.prim.i);
}

Object* propertyValue(const std::wstring& key) {
    auto it = systemProperties().find(key);
    return it == systemProperties().end() ? nullptr : newStringObject(it->second);
}

// System.setProperty: null key or value throws NullPointerException, as in Java.
Slot setProperty(Object*, const std::vector<Slot>& args) {
    if (!args[0].obj || !args[1].obj) {
        throwPending("java/lang/NullPointerException", args[0].obj ? "value can't be null" : "key can't be null");
        return objectResult(nullptr);
    }
    Object* previous = propertyValue(args[0].obj->text);
    systemProperties()[args[0].obj->text] = args[1].obj->text;
    return objectResult(previous);
}

Slot getProperty(Object*, const std::vector<Slot>& args) {
    if (!args[0].obj) {
        throwPending("java/lang/NullPointerException", "key can't be null");
        return objectResult(nullptr);
    }
    Object* value = propertyValue(args[0].obj->text);
    return objectResult(value || args.size() < 2 ? value : args[1].obj);
}

const std::map<std::string, Builtin>& builtins() {
    static const std::map<std::string, Builtin> table = {
        {"java/lang/Object.toString()Ljava/lang/String;",
         [](Object* self, const std::vector<Slot>&) {
             char hash[16];
             snprintf(hash, sizeof hash, "%x", self->id);
             return stringResult(dottedName(self->cls->name) + "@" + hash);
         }},
        {"java/lang/Object.hashCode()I", [](Object* self, const std::vector<Slot>&) { return intResult(static_cast<jint>(self->id)); }},
        {"java/lang/Object.equals(Ljava/lang/Object;)Z",
         [](Object* self, const std::vector<Slot>& a) { return booleanResult(self == a[0].obj); }},
        {"java/lang/Object.getClass()Ljava/lang/Class;",
         [](Object* self, const std::vector<Slot>&) { return objectResult(classObjectOf(self->cls)); }},
        {"java/lang/Throwable.toString()Ljava/lang/String;",
         [](Object* self, const std::vector<Slot>&) { return stringResult(throwableText(self)); }},
        {"java/lang/Throwable.getMessage()Ljava/lang/String;",
         [](Object* self, const std::vector<Slot>&) { return objectResult(self->hasMessage ? newStringObject(self->message) : nullptr); }},
        {"java/lang/Throwable.getLocalizedMessage()Ljava/lang/String;",
         [](Object* self, const std::vector<Slot>&) { return objectResult(self->hasMessage ? newStringObject(self->message) : nullptr); }},
        {"java/lang/Throwable.printStackTrace()V",
         [](Object* self, const std::vector<Slot>&) {
             writeStderr(stackTraceText(self));
             return defaultOf('V');
         }},
        {"java/lang/String.toString()Ljava/lang/String;", [](Object* self, const std::vector<Slot>&) { return objectResult(self); }},
        {"java/lang/String.length()I", [](Object* self, const std::vector<Slot>&) { return intResult(static_cast<jint>(self->text.size())); }},
        {"java/lang/String.isEmpty()Z", [](Object* self, const std::vector<Slot>&) { return booleanResult(self->text.empty()); }},
        {"java/lang/String.equals(Ljava/lang/Object;)Z",
         [](Object* self, const std::vector<Slot>& a) {
             return booleanResult(a[0].obj && a[0].obj->kind == ObjectKind::String && a[0].obj->text == self->text);
         }},
        {"java/lang/Integer.intValue()I", [](Object* self, const std::vector<Slot>&) { return boxed(self, 'I'); }},
        {"java/lang/Integer.longValue()J", [](Object* self, const std::vector<Slot>&) { return boxed(self, 'J'); }},
        {"java/lang/Integer.toString()Ljava/lang/String;", [](Object* self, const std::vector<Slot>&) { return stringResult(boxText(self)); }},
        {"java/lang/Integer.valueOf(I)Ljava/lang/Integer;",
         [](Object*, const std::vector<Slot>& a) { return objectResult(newBox("java/lang/Integer", "(I)V", a[0])); }},
        {"java/lang/Long.longValue()J", [](Object* self, const std::vector<Slot>&) { return boxed(self, 'J'); }},
        {"java/lang/Long.intValue()I", [](Object* self, const std::vector<Slot>&) { return boxed(self, 'I'); }},
        {"java/lang/Long.toString()Ljava/lang/String;", [](Object* self, const std::vector<Slot>&) { return stringResult(boxText(self)); }},
        {"java/lang/Long.valueOf(J)Ljava/lang/Long;",
         [](Object*, const std::vector<Slot>& a) { return objectResult(newBox("java/lang/Long", "(J)V", a[0])); }},
        {"java/lang/Boolean.booleanValue()Z", [](Object* self, const std::vector<Slot>&) { return boxed(self, 'Z'); }},
        {"java/lang/Boolean.toString()Ljava/lang/String;", [](Object* self, const std::vector<Slot>&) { return stringResult(boxText(self)); }},
        {"java/lang/Boolean.valueOf(Z)Ljava/lang/Boolean;",
         [](Object*, const std::vector<Slot>& a) { return objectResult(newBox("java/lang/Boolean", "(Z)V", a[0])); }},
        {"java/lang/Class.getName()Ljava/lang/String;",
         [](Object* self, const std::vector<Slot>&) { return stringResult(dottedName(self->represented->name)); }},
        {"java/lang/System.setProperty(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", setProperty},
        {"java/lang/System.getProperty(Ljava/lang/String;)Ljava/lang/String;", getProperty},
        {"java/lang/System.getProperty(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", getProperty},
    };
    return table;
}

// The result of a call as the record shows it: the exception the call
// threw, or its value.
std::string outcome(const Slot& result, const Object* pendingBefore) {
    Object* pendingNow = currentPending();
    return pendingNow && pendingNow != pendingBefore ? "exception " + render(pendingNow) : render(result);
}

// ---- running methods --------------------------------------------------------------------------

Value valueOf(const Slot& s) {
    Value v;
    v.type = s.type;
    if (s.type == 'L') v.v.l = newLocalRef(s.obj);
    else v.v = s.prim;
    return v;
}

Slot runHandler(const MethodHandler& handler, const MethodInfo* m, Object* receiver, const std::vector<Slot>& args) {
    Call call;
    {
        std::lock_guard<std::recursive_mutex> guard(lock());
        pushLocalFrame();
        call.className = m->owner->name;
        call.name = m->name;
        call.signature = m->signature;
        call.receiver = m->isStatic ? nullptr : newLocalRef(receiver);
        for (const Slot& a : args) call.args.push_back(valueOf(a));
    }
    Value returned = handler(theEnv(), call);
    std::lock_guard<std::recursive_mutex> guard(lock());
    std::string ret;
    parametersOf(m, &ret);
    char letter = letterOf(ret);
    if (returned.type != letter)
        fatal("the behaviour of " + renderMethod(m) + " returned a value of type " + std::string(1, returned.type));
    Slot result;
    result.type = letter;
    if (letter == 'L') result.obj = deref(returned.v.l, "behaviour result");
    else result.prim = returned.v;
    if (result.obj) checkArgumentType(result, ret, m, 0, "behaviour result");
    popLocalFrame();
    return result;
}

}  // namespace

Slot invokeMethod(const MethodInfo* m, Object* receiver, const ClassInfo* cls, const std::vector<Slot>& args) {
    MethodHandler handler;
    void* native = nullptr;
    Builtin builtin = nullptr;
    Object* nativeSelf = receiver;
    {
        std::lock_guard<std::recursive_mutex> guard(lock());
        if (m->isStatic) nativeSelf = classObjectOf(m->owner);
        auto h = methodHandlers().find(m);
        if (h != methodHandlers().end()) handler = h->second;
        auto n = nativeBindings().find(m);
        if (n != nativeBindings().end()) native = n->second;
        auto b = builtins().find(m->owner->name + "." + m->name + m->signature);
        if (b != builtins().end()) builtin = b->second;
    }
    if (handler) return runHandler(handler, m, receiver, args);
    if (native) return callNativeFunction(native, m, nativeSelf, args);
    // Natives of java/lang (Object.getClass, hashCode) have built-in behaviours.
    if (builtin) {
        std::lock_guard<std::recursive_mutex> guard(lock());
        return builtin(receiver, args);
    }
    if (m->isNative) {
        std::string ret;
        parametersOf(m, &ret);
        std::lock_guard<std::recursive_mutex> guard(lock());
        throwPending("java/lang/UnsatisfiedLinkError", "'" + m->owner->name + "." + m->name + m->signature + "'");
        return defaultOf(letterOf(ret));
    }
    fatal("no behaviour for the Java method " + renderMethod(m) + " (a test installs one with fakejni::onCall)");
}

// The x64 calling convention passes every integer and pointer argument in
// an 8-byte register or stack slot and lets the caller clean up, so one
// function type with enough slots reaches every native whose parameters are
// integers and references.  Floating-point parameters travel in other
// registers; no native of this project has them, so they are refused.
const size_t kMaxNativeArgs = 24;
using GenericNative = jlong(JNICALL*)(JNIEnv*, void*, jlong, jlong, jlong, jlong, jlong, jlong, jlong, jlong, jlong,
                                      jlong, jlong, jlong, jlong, jlong, jlong, jlong, jlong, jlong, jlong, jlong,
                                      jlong, jlong, jlong, jlong);

static jlong slotBits(const Slot& s) {
    switch (s.type) {
        case 'Z': return s.prim.z;
        case 'B': return s.prim.b;
        case 'C': return s.prim.c;
        case 'S': return s.prim.s;
        case 'I': return s.prim.i;
        case 'J': return s.prim.j;
        default: return 0;
    }
}

static Slot slotFromBits(char letter, jlong raw) {
    Slot s = defaultOf(letter);
    switch (letter) {
        case 'Z': s.prim.z = static_cast<jboolean>(raw & 0xFF); break;
        case 'B': s.prim.b = static_cast<jbyte>(raw & 0xFF); break;
        case 'C': s.prim.c = static_cast<jchar>(raw & 0xFFFF); break;
        case 'S': s.prim.s = static_cast<jshort>(raw & 0xFFFF); break;
        case 'I': s.prim.i = static_cast<jint>(raw & 0xFFFFFFFF); break;
        case 'J': s.prim.j = raw; break;
        default: break;
    }
    return s;
}

Slot callNativeFunction(void* fnPtr, const MethodInfo* m, Object* self, const std::vector<Slot>& args) {
    std::string ret;
    std::vector<std::string> params = parametersOf(m, &ret);
    for (const std::string& p : params)
        if (p == "F" || p == "D") fatal("natives with float or double parameters are not supported: " + renderMethod(m));
    if (ret == "F" || ret == "D") fatal("natives returning float or double are not supported: " + renderMethod(m));
    if (params.size() > kMaxNativeArgs) fatal("too many parameters: " + renderMethod(m));
    jlong slots[kMaxNativeArgs] = {};
    jobject selfRef = nullptr;
    Object* pendingBefore = nullptr;
    {
        std::lock_guard<std::recursive_mutex> guard(lock());
        pendingBefore = currentPending();
        pushLocalFrame();  // the native's local references end with it
        selfRef = newLocalRef(self);
        for (size_t i = 0; i < args.size(); ++i)
            slots[i] = args[i].type == 'L' ? reinterpret_cast<jlong>(newLocalRef(args[i].obj)) : slotBits(args[i]);
        record("native\t" + renderMethod(m) + "\t" + render(self) + renderArgs(args));
    }
    GenericNative fn = reinterpret_cast<GenericNative>(fnPtr);
    jlong raw = fn(theEnv(), selfRef, slots[0], slots[1], slots[2], slots[3], slots[4], slots[5], slots[6], slots[7],
                   slots[8], slots[9], slots[10], slots[11], slots[12], slots[13], slots[14], slots[15], slots[16],
                   slots[17], slots[18], slots[19], slots[20], slots[21], slots[22], slots[23]);
    std::lock_guard<std::recursive_mutex> guard(lock());
    char letter = letterOf(ret);
    Slot result = slotFromBits(letter, raw);
    if (letter == 'L') {
        result.obj = deref(reinterpret_cast<jobject>(raw), "native result");
        checkArgumentType(result, ret, m, 0, "native result");
    }
    popLocalFrame();
    record("native returned\t" + renderMethod(m) + "\t" + outcome(result, pendingBefore));
    return result;
}

namespace {

enum class CallKind { Virtual, Nonvirtual, Static };

// The method that runs, after checking the receiver or class against the
// method ID.
const MethodInfo* targetOf(const char* fn, CallKind kind, const MethodInfo* m, Object* receiver, const ClassInfo* cls) {
    if (kind == CallKind::Static) {
        if (!m->isStatic) fatal(std::string(fn) + " used for the instance method " + renderMethod(m));
        if (!isAssignable(cls, m->owner)) fatal(std::string(fn) + ": " + renderMethod(m) + " is not a method of " + cls->name);
        return m;
    }
    if (m->isStatic) fatal(std::string(fn) + " used for the static method " + renderMethod(m));
    if (!receiver) fatal(std::string(fn) + ": null receiver for " + renderMethod(m));
    if (!isAssignable(receiver->cls, m->owner)) fatal(std::string(fn) + ": " + renderMethod(m) + " is not a method of " + render(receiver));
    if (kind == CallKind::Nonvirtual) {
        if (!isAssignable(receiver->cls, cls)) fatal(std::string(fn) + ": " + render(receiver) + " is not a " + cls->name);
        return m;
    }
    return resolveVirtual(receiver->cls, m);
}

// A constructor run on an object from AllocObject (CallNonvirtualVoidMethod
// with "<init>") initialises it as NewObject would.
void construct(Object* obj, const MethodInfo* ctor, const std::vector<Slot>& args) {
    obj->constructor = ctor;
    obj->constructorArgs = args;
    if (isThrowable(obj->cls) && !args.empty() && ctor->signature.rfind("(Ljava/lang/String;", 0) == 0 && args[0].obj) {
        obj->hasMessage = true;
        obj->message = args[0].obj->text;
    }
}

Slot callMethod(const char* fn, CallKind kind, jobject target, jclass clazz, jmethodID id, char expected, va_list* va,
                const jvalue* array) {
    std::unique_lock<std::recursive_mutex> guard(lock());
    ensureModelLoaded();
    if (currentPending()) record(std::string("warning\t") + fn + " called with an exception pending");
    const MethodInfo* m = checkedMethod(id, fn);
    checkReturnLetter(m, expected, fn);
    Object* receiver = kind == CallKind::Static ? nullptr : deref(target, fn);
    const ClassInfo* cls = kind == CallKind::Static ? classArg(static_cast<jclass>(target), fn)
                           : kind == CallKind::Nonvirtual ? classArg(clazz, fn)
                                                          : nullptr;
    std::vector<Slot> args = readArgs(m, va, array, fn);
    std::string who = kind == CallKind::Static ? renderClass(cls) : render(receiver);
    record(std::string(fn) + "\t" + who + "\t" + renderMethod(m) + renderArgs(args));
    if (m->name == "<init>") {
        if (kind != CallKind::Nonvirtual) fatal(std::string(fn) + " used for the constructor " + renderMethod(m));
        construct(receiver, m, args);
        record("returned\tvoid");
        return defaultOf('V');
    }
    const MethodInfo* runs = targetOf(fn, kind, m, receiver, cls);
    Object* pendingBefore = currentPending();
    guard.unlock();
    Slot result = invokeMethod(runs, receiver, cls, args);
    guard.lock();
    record("returned\t" + outcome(result, pendingBefore));
    if (result.type == 'L') result.prim.l = newLocalRef(result.obj);
    return result;
}

jobject newObjectCall(const char* fn, jclass clazz, jmethodID id, va_list* va, const jvalue* array) {
    EnvEntry e(fn);
    const ClassInfo* cls = classArg(clazz, fn);
    const MethodInfo* ctor = checkedMethod(id, fn);
    if (ctor->name != "<init>" || ctor->owner != cls) fatal(std::string(fn) + ": " + renderMethod(ctor) + " is not a constructor of " + cls->name);
    std::vector<Slot> args = readArgs(ctor, va, array, fn);
    if (cls->isAbstract) {
        record(std::string(fn) + "\t" + renderClass(cls) + "\t" + renderMethod(ctor) + renderArgs(args) + "\t-> null");
        throwPending("java/lang/InstantiationException", dottedName(cls->name));
        return nullptr;
    }
    Object* obj = newObjectOf(cls);
    construct(obj, ctor, args);
    record(std::string(fn) + "\t" + renderClass(cls) + "\t" + renderMethod(ctor) + renderArgs(args) + "\t-> " + render(obj));
    return newLocalRef(obj);
}

jobject JNICALL NewObject(JNIEnv*, jclass clazz, jmethodID id, ...) {
    va_list va;
    va_start(va, id);
    jobject obj = newObjectCall("NewObject", clazz, id, &va, nullptr);
    va_end(va);
    return obj;
}

jobject JNICALL NewObjectV(JNIEnv*, jclass clazz, jmethodID id, va_list args) {
    va_list va;
    va_copy(va, args);
    jobject obj = newObjectCall("NewObject", clazz, id, &va, nullptr);
    va_end(va);
    return obj;
}

jobject JNICALL NewObjectA(JNIEnv*, jclass clazz, jmethodID id, const jvalue* args) {
    return newObjectCall("NewObject", clazz, id, nullptr, args);
}

#define FAKEJNI_CALL_VARIANTS(Name, type, letter, RESULT)                                                           \
    type JNICALL Call##Name##Method(JNIEnv*, jobject obj, jmethodID id, ...) {                                      \
        va_list va;                                                                                                 \
        va_start(va, id);                                                                                           \
        Slot s = callMethod("Call" #Name "Method", CallKind::Virtual, obj, nullptr, id, letter, &va, nullptr);     \
        va_end(va);                                                                                                 \
        RESULT;                                                                                                     \
    }                                                                                                               \
    type JNICALL Call##Name##MethodV(JNIEnv*, jobject obj, jmethodID id, va_list args) {                           \
        va_list va;                                                                                                 \
        va_copy(va, args);                                                                                          \
        Slot s = callMethod("Call" #Name "Method", CallKind::Virtual, obj, nullptr, id, letter, &va, nullptr);    \
        va_end(va);                                                                                                 \
        RESULT;                                                                                                     \
    }                                                                                                               \
    type JNICALL Call##Name##MethodA(JNIEnv*, jobject obj, jmethodID id, const jvalue* args) {                     \
        Slot s = callMethod("Call" #Name "Method", CallKind::Virtual, obj, nullptr, id, letter, nullptr, args);   \
        RESULT;                                                                                                     \
    }                                                                                                               \
    type JNICALL CallNonvirtual##Name##Method(JNIEnv*, jobject obj, jclass clazz, jmethodID id, ...) {              \
        va_list va;                                                                                                 \
        va_start(va, id);                                                                                           \
        Slot s = callMethod("CallNonvirtual" #Name "Method", CallKind::Nonvirtual, obj, clazz, id, letter, &va,    \
                            nullptr);                                                                               \
        va_end(va);                                                                                                 \
        RESULT;                                                                                                     \
    }                                                                                                               \
    type JNICALL CallNonvirtual##Name##MethodV(JNIEnv*, jobject obj, jclass clazz, jmethodID id, va_list args) {   \
        va_list va;                                                                                                 \
        va_copy(va, args);                                                                                          \
        Slot s = callMethod("CallNonvirtual" #Name "Method", CallKind::Nonvirtual, obj, clazz, id, letter, &va,   \
                            nullptr);                                                                               \
        va_end(va);                                                                                                 \
        RESULT;                                                                                                     \
    }                                                                                                               \
    type JNICALL CallNonvirtual##Name##MethodA(JNIEnv*, jobject obj, jclass clazz, jmethodID id,                    \
                                               const jvalue* args) {                                                \
        Slot s = callMethod("CallNonvirtual" #Name "Method", CallKind::Nonvirtual, obj, clazz, id, letter,        \
                            nullptr, args);                                                                         \
        RESULT;                                                                                                     \
    }                                                                                                               \
    type JNICALL CallStatic##Name##Method(JNIEnv*, jclass clazz, jmethodID id, ...) {                               \
        va_list va;                                                                                                 \
        va_start(va, id);                                                                                           \
        Slot s = callMethod("CallStatic" #Name "Method", CallKind::Static, clazz, nullptr, id, letter, &va,        \
                            nullptr);                                                                               \
        va_end(va);                                                                                                 \
        RESULT;                                                                                                     \
    }                                                                                                               \
    type JNICALL CallStatic##Name##MethodV(JNIEnv*, jclass clazz, jmethodID id, va_list args) {                    \
        va_list va;                                                                                                 \
        va_copy(va, args);                                                                                          \
        Slot s = callMethod("CallStatic" #Name "Method", CallKind::Static, clazz, nullptr, id, letter, &va,       \
                            nullptr);                                                                               \
        va_end(va);                                                                                                 \
        RESULT;                                                                                                     \
    }                                                                                                               \
    type JNICALL CallStatic##Name##MethodA(JNIEnv*, jclass clazz, jmethodID id, const jvalue* args) {              \
        Slot s = callMethod("CallStatic" #Name "Method", CallKind::Static, clazz, nullptr, id, letter, nullptr,   \
                            args);                                                                                  \
        RESULT;                                                                                                     \
    }

FAKEJNI_CALL_VARIANTS(Object, jobject, 'L', return s.prim.l)
FAKEJNI_CALL_VARIANTS(Boolean, jboolean, 'Z', return s.prim.z)
FAKEJNI_CALL_VARIANTS(Byte, jbyte, 'B', return s.prim.b)
FAKEJNI_CALL_VARIANTS(Char, jchar, 'C', return s.prim.c)
FAKEJNI_CALL_VARIANTS(Short, jshort, 'S', return s.prim.s)
FAKEJNI_CALL_VARIANTS(Int, jint, 'I', return s.prim.i)
FAKEJNI_CALL_VARIANTS(Long, jlong, 'J', return s.prim.j)
FAKEJNI_CALL_VARIANTS(Float, jfloat, 'F', return s.prim.f)
FAKEJNI_CALL_VARIANTS(Double, jdouble, 'D', return s.prim.d)
FAKEJNI_CALL_VARIANTS(Void, void, 'V', (void)s)

}  // namespace

void fillCallFunctions(JNINativeInterface_* t) {
    t->NewObject = NewObject;
    t->NewObjectV = NewObjectV;
    t->NewObjectA = NewObjectA;
#define FAKEJNI_FILL_CALLS(Name)                                           \
    t->Call##Name##Method = Call##Name##Method;                            \
    t->Call##Name##MethodV = Call##Name##MethodV;                          \
    t->Call##Name##MethodA = Call##Name##MethodA;                          \
    t->CallNonvirtual##Name##Method = CallNonvirtual##Name##Method;        \
    t->CallNonvirtual##Name##MethodV = CallNonvirtual##Name##MethodV;      \
    t->CallNonvirtual##Name##MethodA = CallNonvirtual##Name##MethodA;      \
    t->CallStatic##Name##Method = CallStatic##Name##Method;                \
    t->CallStatic##Name##MethodV = CallStatic##Name##MethodV;              \
    t->CallStatic##Name##MethodA = CallStatic##Name##MethodA;
    FAKEJNI_FILL_CALLS(Object)
    FAKEJNI_FILL_CALLS(Boolean)
    FAKEJNI_FILL_CALLS(Byte)
    FAKEJNI_FILL_CALLS(Char)
    FAKEJNI_FILL_CALLS(Short)
    FAKEJNI_FILL_CALLS(Int)
    FAKEJNI_FILL_CALLS(Long)
    FAKEJNI_FILL_CALLS(Float)
    FAKEJNI_FILL_CALLS(Double)
    FAKEJNI_FILL_CALLS(Void)
}

}  // namespace internal
}  // namespace fakejni
