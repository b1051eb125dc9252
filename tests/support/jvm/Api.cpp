// The API for test programs: making and reading Java values without
// recording, steering the model, and calling natives.
#include "tests/support/jvm/EnvParts.h"

namespace fakejni {

using namespace internal;

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

Object* apiDeref(jobject ref, const char* function) {
    ensureModelLoaded();
    return deref(ref, function);
}

const ClassInfo* requireClass(const char* name, const char* function) {
    ensureModelLoaded();
    const ClassInfo* cls = classIncludingHidden(name ? name : "");
    if (!cls) fatal(std::string(function) + ": no class " + (name ? name : "(null)") + " in the class model");
    return cls;
}

Object* requireKind(jobject ref, ObjectKind kind, const char* function) {
    Object* obj = apiDeref(ref, function);
    if (!obj || obj->kind != kind) fatal(std::string(function) + ": unexpected " + render(obj));
    return obj;
}

Object* requireArray(jobject ref, char elementType, const char* function) {
    Object* obj = requireKind(ref, ObjectKind::Array, function);
    if (obj->elementType != elementType) fatal(std::string(function) + ": unexpected " + render(obj));
    return obj;
}

template <class T>
jobject primitiveArray(char letter, const std::vector<T>& values) {
    Guard g(lock());
    ensureModelLoaded();
    Object* a = newArrayObject(lookupClass(std::string("[") + letter), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        T v = values[i];
        memcpy(a->data.data() + i * sizeof(T), &v, sizeof(T));
    }
    return newLocalRef(a);
}

template <class T>
std::vector<T> primitiveValues(jobject ref, char letter, const char* function) {
    Guard g(lock());
    Object* a = requireArray(ref, letter, function);
    std::vector<T> out(a->length);
    if (!out.empty()) memcpy(out.data(), a->data.data(), a->data.size());
    return out;
}

// Converts an argument of the test to the declared parameter type.
Slot convertArg(const Arg& arg, const std::string& param, const std::string& where) {
    Slot s;
    s.type = param[0] == '[' ? 'L' : param[0];
    if (s.type == 'L') {
        if (arg.kind != Arg::Kind::Reference) fatal(where + ": a reference is needed for " + param);
        s.obj = deref(arg.ref, where.c_str());
        const ClassInfo* type = classIncludingHidden(param[0] == '[' ? param : param.substr(1, param.size() - 2));
        if (s.obj && type && !isAssignable(s.obj->cls, type)) fatal(where + ": " + render(s.obj) + " is not a " + param);
        return s;
    }
    if (arg.kind == Arg::Kind::Reference) fatal(where + ": a " + param + " is needed, not a reference");
    if (s.type == 'Z' && arg.kind != Arg::Kind::Boolean) fatal(where + ": a boolean is needed");
    if (s.type != 'Z' && arg.kind == Arg::Kind::Boolean) fatal(where + ": a " + param + " is needed, not a boolean");
    long long n = arg.integral;
    auto fits = [&](long long lo, long long hi) {
        if (n < lo || n > hi) fatal(where + ": " + std::to_string(n) + " does not fit " + param);
    };
    switch (s.type) {
        case 'Z': s.prim.z = n ? JNI_TRUE : JNI_FALSE; break;
        case 'B': fits(-128, 127); s.prim.b = static_cast<jbyte>(n); break;
        case 'C': fits(0, 0xFFFF); s.prim.c = static_cast<jchar>(n); break;
        case 'S': fits(-32768, 32767); s.prim.s = static_cast<jshort>(n); break;
        case 'I': fits(INT32_MIN, INT32_MAX); s.prim.i = static_cast<jint>(n); break;
        case 'J': s.prim.j = n; break;
        default: fatal(where + ": float and double arguments are not supported");
    }
    return s;
}

std::vector<Slot> convertArgs(const MethodInfo* m, std::initializer_list<Arg> args, const std::string& where) {
    std::vector<std::string> params;
    std::string ret;
    splitParameters(m->signature, &params, &ret);
    if (params.size() != args.size())
        fatal(where + ": " + std::to_string(args.size()) + " arguments for " + renderMethod(m));
    std::vector<Slot> out;
    size_t i = 0;
    for (const Arg& a : args) out.push_back(convertArg(a, params[i++], where));
    return out;
}

const MethodInfo* nativeMethod(const char* className, const char* name, const char* signature, const char* function) {
    const ClassInfo* cls = requireClass(className, function);
    const MethodInfo* found = nullptr;
    for (const MethodInfo& m : cls->methods) {
        if (m.name != name || (signature && m.signature != signature)) continue;
        if (found) fatal(std::string(function) + ": " + name + " is overloaded in " + className + "; give the signature");
        found = &m;
    }
    if (!found) fatal(std::string(function) + ": no method " + name + (signature ? signature : "") + " in " + className);
    if (!found->isNative) fatal(std::string(function) + ": " + renderMethod(found) + " is not native");
    return found;
}

Value resultValue(const Slot& s) {
    Guard g(lock());
    Value v;
    v.type = s.type;
    if (s.type == 'L') v.v.l = newLocalRef(s.obj);
    else v.v = s.prim;
    return v;
}

// Calls a native the way the JVM does: no exception may be pending when a
// native is entered.
Value runNative(void* fn, const MethodInfo* m, Object* receiver, std::initializer_list<Arg> args, const char* function) {
    std::vector<Slot> slots;
    Object* self = nullptr;
    {
        Guard g(lock());
        if (currentPending()) fatal(std::string(function) + ": an exception is pending: " + render(currentPending()));
        slots = convertArgs(m, args, std::string(function) + " " + renderMethod(m));
        if (m->isStatic) {
            self = classObjectOf(m->owner);
        } else {
            self = receiver ? receiver : newObjectOf(m->owner);
            if (!isAssignable(self->cls, m->owner)) fatal(std::string(function) + ": " + render(self) + " is not a " + m->owner->name);
        }
    }
    return resultValue(callNativeFunction(fn, m, self, slots));
}

}  // namespace

// ---- Value --------------------------------------------------------------------------

static const Value& checked(const Value& v, char type, const char* what) {
    if (v.type != type) fatal(std::string("Value::") + what + " of a value of type " + std::string(1, v.type));
    return v;
}

Value Value::none() { return Value(); }

Value Value::ofBoolean(bool b) {
    Value v;
    v.type = 'Z';
    v.v.z = b ? JNI_TRUE : JNI_FALSE;
    return v;
}

Value Value::ofInt(jint i) {
    Value v;
    v.type = 'I';
    v.v.i = i;
    return v;
}

Value Value::ofLong(jlong j) {
    Value v;
    v.type = 'J';
    v.v.j = j;
    return v;
}

Value Value::ofObject(jobject l) {
    Value v;
    v.type = 'L';
    v.v.l = l;
    return v;
}

bool Value::asBoolean() const { return checked(*this, 'Z', "asBoolean").v.z != JNI_FALSE; }
jbyte Value::asByte() const { return checked(*this, 'B', "asByte").v.b; }
jchar Value::asChar() const { return checked(*this, 'C', "asChar").v.c; }
jshort Value::asShort() const { return checked(*this, 'S', "asShort").v.s; }
jint Value::asInt() const { return checked(*this, 'I', "asInt").v.i; }
jlong Value::asLong() const { return checked(*this, 'J', "asLong").v.j; }
jobject Value::asObject() const { return checked(*this, 'L', "asObject").v.l; }
std::wstring Value::asText() const { return text(asObject()); }

// ---- the VM -----------------------------------------------------------------------------

JNIEnv* env() {
    Guard g(lock());
    ensureModelLoaded();
    return theEnv();
}

JavaVM* vm() {
    Guard g(lock());
    ensureModelLoaded();
    return theVm();
}

void reset() {
    Guard g(lock());
    ensureModelLoaded();
    for (auto& entry : internal::openBuffers()) free(const_cast<void*>(entry.first));
    clearHeap();
    clearModel();
    nativeBindings().clear();
    registrationLog().clear();
    methodHandlers().clear();
    systemProperties().clear();
    stringsLeft() = -1;
    copiesLeft() = -1;
    clearRecords();
}

bool addClassModel(const std::string& javapListing) {
    Guard g(lock());
    ensureModelLoaded();
    return addJavapClasses(javapListing);
}

bool hasClass(const char* className) {
    Guard g(lock());
    ensureModelLoaded();
    return lookupClass(className) != nullptr;
}

void hideClass(const char* className) {
    Guard g(lock());
    const_cast<ClassInfo*>(requireClass(className, "hideClass"))->hidden = true;
}

void hideMethod(const char* className, const char* name, const char* signature) {
    Guard g(lock());
    ClassInfo* cls = const_cast<ClassInfo*>(requireClass(className, "hideMethod"));
    for (MethodInfo& m : cls->methods)
        if (m.name == name && m.signature == signature) {
            m.hidden = true;
            return;
        }
    fatal(std::string("hideMethod: no method ") + name + signature + " in " + className);
}

void failStringsAfter(int count) {
    Guard g(lock());
    stringsLeft() = count;
}

void failCopiesAfter(int count) {
    Guard g(lock());
    copiesLeft() = count;
}

void onCall(const char* className, const char* name, const char* signature, MethodHandler handler) {
    Guard g(lock());
    const ClassInfo* cls = requireClass(className, "onCall");
    if (std::string(name) == "<init>") fatal("onCall: constructors have no behaviours");
    for (const MethodInfo& m : cls->methods)
        if (m.name == name && m.signature == signature) {
            methodHandlers()[&m] = std::move(handler);
            return;
        }
    fatal(std::string("onCall: no method ") + name + signature + " in " + className);
}

// ---- making values ---------------------------------------------------------------------------

jclass findClass(const char* className) {
    Guard g(lock());
    return static_cast<jclass>(newLocalRef(classObjectOf(requireClass(className, "findClass"))));
}

jstring newString(const std::wstring& text) {
    Guard g(lock());
    ensureModelLoaded();
    return static_cast<jstring>(newLocalRef(newStringObject(text)));
}

jobjectArray newStringArray(const std::vector<std::wstring>& texts) {
    std::vector<jobject> strings;
    for (const std::wstring& t : texts) strings.push_back(newString(t));
    return newObjectArray("java/lang/String", strings);
}

jobjectArray newObjectArray(const char* elementClass, const std::vector<jobject>& elements) {
    Guard g(lock());
    const ClassInfo* element = requireClass(elementClass, "newObjectArray");
    std::string arrayName = element->isArray ? "[" + element->name : "[L" + element->name + ";";
    Object* a = newArrayObject(lookupClass(arrayName), elements.size());
    for (size_t i = 0; i < elements.size(); ++i) {
        Object* e = deref(elements[i], "newObjectArray");
        if (e && !isAssignable(e->cls, element)) fatal("newObjectArray: " + render(e) + " is not a " + element->name);
        a->elements[i] = e;
    }
    return static_cast<jobjectArray>(newLocalRef(a));
}

jbooleanArray newBooleanArray(const std::vector<bool>& values) {
    std::vector<jboolean> z;
    for (bool b : values) z.push_back(b ? JNI_TRUE : JNI_FALSE);
    return static_cast<jbooleanArray>(primitiveArray('Z', z));
}

jbyteArray newByteArray(const std::vector<jbyte>& values) { return static_cast<jbyteArray>(primitiveArray('B', values)); }
jintArray newIntArray(const std::vector<jint>& values) { return static_cast<jintArray>(primitiveArray('I', values)); }
jlongArray newLongArray(const std::vector<jlong>& values) { return static_cast<jlongArray>(primitiveArray('J', values)); }

jobject newInteger(jint value) { return newObject("java/lang/Integer", "(I)V", {value}); }
jobject newLong(jlong value) { return newObject("java/lang/Long", "(J)V", {value}); }
jobject newBoolean(bool value) { return newObject("java/lang/Boolean", "(Z)V", {value}); }

jobject newObject(const char* className, const char* constructorSignature, std::initializer_list<Arg> args) {
    Guard g(lock());
    const ClassInfo* cls = requireClass(className, "newObject");
    const MethodInfo* ctor = findMethod(cls, "<init>", constructorSignature, false);
    if (!ctor) fatal(std::string("newObject: no constructor ") + constructorSignature + " in " + className);
    if (cls->isAbstract) fatal(std::string("newObject: ") + className + " is abstract");
    Object* obj = newObjectOf(cls);
    obj->constructor = ctor;
    obj->constructorArgs = convertArgs(ctor, args, std::string("newObject ") + className);
    if (isThrowable(cls) && !obj->constructorArgs.empty() && std::string(constructorSignature).rfind("(Ljava/lang/String;", 0) == 0 &&
        obj->constructorArgs[0].obj) {
        obj->hasMessage = true;
        obj->message = obj->constructorArgs[0].obj->text;
    }
    return newLocalRef(obj);
}

void throwNew(const char* className, const std::wstring& message) {
    Guard g(lock());
    requireClass(className, "throwNew");
    setPending(newThrowable(className, &message, ""));
}

// ---- reading values ----------------------------------------------------------------------------

bool isNull(jobject ref) {
    Guard g(lock());
    return apiDeref(ref, "isNull") == nullptr;
}

std::string className(jobject ref) {
    Guard g(lock());
    Object* obj = apiDeref(ref, "className");
    if (!obj) fatal("className: null reference");
    return obj->cls->name;
}

std::wstring text(jobject string) {
    Guard g(lock());
    return requireKind(string, ObjectKind::String, "text")->text;
}

std::vector<jobject> elements(jobject objectArray) {
    Guard g(lock());
    Object* a = requireArray(objectArray, 'L', "elements");
    std::vector<jobject> out;
    for (Object* e : a->elements) out.push_back(newLocalRef(e));
    return out;
}

std::vector<std::wstring> texts(jobject stringArray) {
    Guard g(lock());
    Object* a = requireArray(stringArray, 'L', "texts");
    std::vector<std::wstring> out;
    for (Object* e : a->elements) {
        if (!e || e->kind != ObjectKind::String) fatal("texts: element " + render(e) + " in " + render(a));
        out.push_back(e->text);
    }
    return out;
}

std::vector<bool> booleans(jobject booleanArray) {
    std::vector<bool> out;
    for (jboolean z : primitiveValues<jboolean>(booleanArray, 'Z', "booleans")) out.push_back(z != JNI_FALSE);
    return out;
}

std::vector<jbyte> bytes(jobject byteArray) { return primitiveValues<jbyte>(byteArray, 'B', "bytes"); }
std::vector<jint> ints(jobject intArray) { return primitiveValues<jint>(intArray, 'I', "ints"); }
std::vector<jlong> longs(jobject longArray) { return primitiveValues<jlong>(longArray, 'J', "longs"); }

std::vector<Value> constructorArgs(jobject ref) {
    Guard g(lock());
    Object* obj = requireKind(ref, ObjectKind::Plain, "constructorArgs");
    std::vector<Value> out;
    for (const Slot& s : obj->constructorArgs) out.push_back(resultValue(s));
    return out;
}

Value boxedValue(jobject ref) {
    Guard g(lock());
    Slot s;
    Object* obj = apiDeref(ref, "boxedValue");
    if (!internal::boxedValue(obj, &s)) fatal("boxedValue: not an Integer, Long or Boolean: " + render(obj));
    return resultValue(s);
}

bool hasProperty(const std::wstring& name) {
    Guard g(lock());
    return systemProperties().count(name) != 0;
}

std::wstring property(const std::wstring& name) {
    Guard g(lock());
    auto it = systemProperties().find(name);
    if (it == systemProperties().end()) fatal("property: no system property " + toUtf8(name));
    return it->second;
}

// ---- exceptions, references, buffers -------------------------------------------------------------

jthrowable pendingException() {
    Guard g(lock());
    return static_cast<jthrowable>(newLocalRef(currentPending()));
}

std::string describe(jobject throwable) {
    Guard g(lock());
    Object* t = apiDeref(throwable, "describe");
    if (!t || !isThrowable(t->cls)) fatal("describe: not a throwable: " + render(t));
    return throwableText(t);
}

void clearException() {
    Guard g(lock());
    clearPending();
}

size_t liveLocalRefs() {
    Guard g(lock());
    return countLiveLocalRefs();
}

size_t openBuffers() {
    Guard g(lock());
    return internal::openBuffers().size();
}

// ---- natives ----------------------------------------------------------------------------------------

std::vector<Registration> registrations() {
    Guard g(lock());
    return registrationLog();
}

void* registeredFunction(const char* className, const char* name, const char* signature) {
    Guard g(lock());
    for (const auto& binding : nativeBindings()) {
        const MethodInfo* m = binding.first;
        if (m->owner->name == className && m->name == name && m->signature == signature) return binding.second;
    }
    return nullptr;
}

static void* boundFunction(const MethodInfo* m, const char* function) {
    Guard g(lock());
    auto it = nativeBindings().find(m);
    if (it == nativeBindings().end()) fatal(std::string(function) + ": " + renderMethod(m) + " is not registered");
    return it->second;
}

Value callNative(const char* className, const char* name, std::initializer_list<Arg> args) {
    return callNativeSig(className, name, nullptr, args);
}

Value callNativeSig(const char* className, const char* name, const char* signature, std::initializer_list<Arg> args) {
    const MethodInfo* m;
    {
        Guard g(lock());
        m = nativeMethod(className, name, signature, "callNative");
    }
    return runNative(boundFunction(m, "callNative"), m, nullptr, args, "callNative");
}

Value callNativeOn(jobject receiver, const char* className, const char* name, std::initializer_list<Arg> args) {
    const MethodInfo* m;
    Object* self;
    {
        Guard g(lock());
        m = nativeMethod(className, name, nullptr, "callNativeOn");
        if (m->isStatic) fatal("callNativeOn: " + renderMethod(m) + " is static");
        self = apiDeref(receiver, "callNativeOn");
        if (!self) fatal("callNativeOn: null receiver");
    }
    return runNative(boundFunction(m, "callNativeOn"), m, self, args, "callNativeOn");
}

Value callFunction(void* fnPtr, const char* className, const char* name, const char* signature,
                   std::initializer_list<Arg> args) {
    const MethodInfo* m;
    {
        Guard g(lock());
        m = nativeMethod(className, name, signature, "callFunction");
        if (!fnPtr) fatal("callFunction: null function for " + renderMethod(m));
    }
    return runNative(fnPtr, m, nullptr, args, "callFunction");
}

}  // namespace fakejni
