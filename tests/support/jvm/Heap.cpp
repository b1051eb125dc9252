// Java objects and the references that native code holds to them.
// Objects live until reset(); references are never reused, so that a
// deleted or made-up reference is caught instead of reaching another object.
#include <set>

#include "tests/support/jvm/Internal.h"

namespace fakejni {
namespace internal {
namespace {

std::deque<std::unique_ptr<Object>>& objects() {
    static std::deque<std::unique_ptr<Object>> all;
    return all;
}

std::deque<std::unique_ptr<Ref>>& refs() {
    static std::deque<std::unique_ptr<Ref>> all;
    return all;
}

std::set<const Ref*>& knownRefs() {
    static std::set<const Ref*> all;
    return all;
}

// Bumped by clearHeap so that state kept per thread (local frames, pending
// exceptions) from before a reset is recognised as stale.
uint64_t& generation() {
    static uint64_t g = 1;
    return g;
}

struct ThreadState {
    uint64_t generation = 0;
    std::vector<std::vector<Ref*>> frames;
    Object* pending = nullptr;
};

// Every thread's state, owned by the module.  Threads reach theirs through
// a plain pointer: a thread_local with a destructor would make the C++
// runtime hold the module loaded until the thread ends, and a test that
// loads the stub JVM from a scratch folder could then not delete it.
std::deque<std::unique_ptr<ThreadState>>& threadStates() {
    static std::deque<std::unique_ptr<ThreadState>> all;
    return all;
}

ThreadState& threadState() {
    thread_local ThreadState* state = nullptr;
    if (!state) {
        std::lock_guard<std::recursive_mutex> guard(lock());
        threadStates().push_back(std::unique_ptr<ThreadState>(new ThreadState));
        state = threadStates().back().get();
    }
    if (state->generation != generation()) {
        *state = ThreadState();
        state->generation = generation();
        state->frames.emplace_back();  // the thread's base frame
    }
    return *state;
}

uint32_t& nextId() {
    static uint32_t id = 0x100;
    return id;
}

Object* adopt(std::unique_ptr<Object> obj) {
    obj->id = nextId()++;
    objects().push_back(std::move(obj));
    return objects().back().get();
}

Ref* newRef(Object* obj, RefKind kind) {
    refs().push_back(std::unique_ptr<Ref>(new Ref{obj, kind, true}));
    Ref* r = refs().back().get();
    knownRefs().insert(r);
    return r;
}

}  // namespace

std::recursive_mutex& lock() {
    static std::recursive_mutex m;
    return m;
}

size_t elementSize(char type) {
    switch (type) {
        case 'Z': case 'B': return 1;
        case 'C': case 'S': return 2;
        case 'I': case 'F': return 4;
        case 'J': case 'D': return 8;
        default: return 0;
    }
}

Object* newObjectOf(const ClassInfo* cls) {
    std::unique_ptr<Object> obj(new Object);
    obj->kind = ObjectKind::Plain;
    obj->cls = cls;
    return adopt(std::move(obj));
}

Object* newStringObject(const std::wstring& text) {
    std::unique_ptr<Object> obj(new Object);
    obj->kind = ObjectKind::String;
    obj->cls = lookupClass("java/lang/String");
    obj->text = text;
    return adopt(std::move(obj));
}

Object* newArrayObject(const ClassInfo* arrayClass, size_t length) {
    std::unique_ptr<Object> obj(new Object);
    obj->kind = ObjectKind::Array;
    obj->cls = arrayClass;
    obj->length = length;
    obj->elementType = arrayClass->name.size() == 2 ? arrayClass->name[1] : 'L';
    if (obj->elementType == 'L') obj->elements.assign(length, nullptr);
    else obj->data.assign(length * elementSize(obj->elementType), 0);
    return adopt(std::move(obj));
}

Object* classObjectOf(const ClassInfo* cls) {
    ClassInfo* mutableClass = const_cast<ClassInfo*>(cls);
    if (!mutableClass->classObject) {
        std::unique_ptr<Object> obj(new Object);
        obj->kind = ObjectKind::Class;
        obj->cls = lookupClass("java/lang/Class");
        obj->represented = cls;
        mutableClass->classObject = adopt(std::move(obj));
    }
    return mutableClass->classObject;
}

jobject newLocalRef(Object* obj) {
    if (!obj) return nullptr;
    Ref* r = newRef(obj, RefKind::Local);
    threadState().frames.back().push_back(r);
    return reinterpret_cast<jobject>(r);
}

jobject newGlobalRef(Object* obj, RefKind kind) {
    if (!obj) return nullptr;
    return reinterpret_cast<jobject>(newRef(obj, kind));
}

Ref* refOf(jobject ref) {
    Ref* r = reinterpret_cast<Ref*>(ref);
    return knownRefs().count(r) ? r : nullptr;
}

Object* deref(jobject ref, const char* function) {
    if (!ref) return nullptr;
    Ref* r = refOf(ref);
    char address[32];
    snprintf(address, sizeof address, "%p", static_cast<void*>(ref));
    if (!r) fatal(std::string(function) + ": invalid reference " + address);
    if (!r->live) fatal(std::string(function) + ": deleted reference " + address + " to " + render(r->obj));
    return r->obj;
}

void pushLocalFrame() { threadState().frames.emplace_back(); }

void popLocalFrame() {
    ThreadState& state = threadState();
    if (state.frames.size() <= 1) fatal("PopLocalFrame: no local frame to pop");
    for (Ref* r : state.frames.back()) r->live = false;
    state.frames.pop_back();
}

size_t countLiveLocalRefs() {
    size_t n = 0;
    for (const std::vector<Ref*>& frame : threadState().frames)
        for (const Ref* r : frame) n += r->live ? 1 : 0;
    return n;
}

void clearHeap() {
    ++generation();
    knownRefs().clear();
    refs().clear();
    objects().clear();
    openBuffers().clear();
}

bool isThrowable(const ClassInfo* cls) {
    const ClassInfo* throwable = lookupClass("java/lang/Throwable");
    return cls && throwable && isAssignable(cls, throwable);
}

Object* newThrowable(const char* className, const std::wstring* message, const std::string& thrownAt) {
    const ClassInfo* cls = classIncludingHidden(className);
    if (!cls || !isThrowable(cls)) fatal(std::string("no throwable class ") + className + " in the class model");
    Object* obj = newObjectOf(cls);
    obj->hasMessage = message != nullptr;
    if (message) obj->message = *message;
    obj->thrownAt = thrownAt;
    return obj;
}

Object* currentPending() { return threadState().pending; }

void setPending(Object* throwable) {
    threadState().pending = throwable;
    record("pending\t" + render(throwable));
}

void clearPending() { threadState().pending = nullptr; }

std::map<const void*, OpenBuffer>& openBuffers() {
    static std::map<const void*, OpenBuffer> open;
    return open;
}

bool boxedValue(const Object* obj, Slot* value) {
    if (!obj || obj->kind != ObjectKind::Plain) return false;
    const std::string& name = obj->cls->name;
    if (name != "java/lang/Integer" && name != "java/lang/Long" && name != "java/lang/Boolean") return false;
    if (obj->constructorArgs.size() != 1 || obj->constructorArgs[0].type == 'L') return false;
    *value = obj->constructorArgs[0];
    return true;
}

}  // namespace internal
}  // namespace fakejni
