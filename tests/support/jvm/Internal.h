// Inside the fake JVM: the class model, the heap of Java objects, references,
// recording and the shared lock.  For the library, the stub jvm.dll built on
// it and their own tests; other test programs use FakeJni.h.
#pragma once
#include <jni.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/jvm/FakeJni.h"

namespace fakejni {
namespace internal {

// ---- class model ------------------------------------------------------------

struct ClassInfo;

struct MethodInfo {
    const ClassInfo* owner = nullptr;
    std::string name;  // "<init>" for constructors
    std::string signature;
    bool isStatic = false;
    bool isNative = false;
    bool isAbstract = false;
    bool hidden = false;  // removed by a test: lookups fail as if it did not exist
};

struct FieldInfo {
    const ClassInfo* owner = nullptr;
    std::string name;
    std::string signature;
    bool isStatic = false;
    bool hidden = false;
};

struct Object;

// One value of a Java type: the descriptor letter of its type (Z B C S I J
// F D, L for every reference, V for no value) and the value.
struct Slot {
    char type = 'V';
    jvalue prim{};
    Object* obj = nullptr;
};

struct ClassInfo {
    std::string name;  // JNI form: "com/x/Outer$Inner", "[Ljava/lang/String;"
    std::string superName;  // empty for java/lang/Object
    std::vector<std::string> interfaces;
    bool isInterface = false;
    bool isAbstract = false;
    bool isArray = false;
    bool hidden = false;
    std::deque<MethodInfo> methods;  // deque: ids stay valid as members are added
    std::deque<FieldInfo> fields;
    std::map<const FieldInfo*, Slot> statics;
    Object* classObject = nullptr;  // created on first use
};

// Adds the classes of a `javap -s -p` listing (a class already known keeps
// its first description); false (and a message on standard error) when the
// text is not such a listing or holds no class.
bool addJavapClasses(const std::string& text);
// Loads the generated model once.
void ensureModelLoaded();
// The class, including array classes of known element types; null when
// unknown or hidden.
ClassInfo* lookupClass(const std::string& jniName);
// The class even when hidden; null when unknown.
ClassInfo* classIncludingHidden(const std::string& jniName);
const ClassInfo* superclassOf(const ClassInfo* c);
bool isAssignable(const ClassInfo* from, const ClassInfo* to);
// Method lookup as the JNI does it: the class, then its superclasses, then
// its interfaces; constructors only in the class itself.
const MethodInfo* findMethod(const ClassInfo* c, const std::string& name, const std::string& sig, bool wantStatic);
const FieldInfo* findField(const ClassInfo* c, const std::string& name, const std::string& sig, bool wantStatic);
// The override that a virtual call on an object of class c reaches.
const MethodInfo* resolveVirtual(const ClassInfo* c, const MethodInfo* m);
bool isKnownMethodId(const void* id);
bool isKnownFieldId(const void* id);
void clearModel();
// "java/lang/String" -> "java.lang.String"
std::string dottedName(const std::string& jniName);
// The parameter types of a method descriptor, one descriptor each.
bool splitParameters(const std::string& sig, std::vector<std::string>* params, std::string* returnType);

// ---- heap -------------------------------------------------------------------

enum class ObjectKind { Plain, String, Array, Class };

struct Object {
    ObjectKind kind = ObjectKind::Plain;
    const ClassInfo* cls = nullptr;
    uint32_t id = 0;
    std::wstring text;                 // String
    char elementType = 0;              // Array: descriptor letter, 'L' for references
    size_t length = 0;                 // Array
    std::vector<unsigned char> data;   // Array of primitives: length * element size
    std::vector<Object*> elements;     // Array of references
    const ClassInfo* represented = nullptr;  // Class
    const MethodInfo* constructor = nullptr;  // Plain, made by NewObject
    std::vector<Slot> constructorArgs;
    std::map<const FieldInfo*, Slot> fields;
    bool hasMessage = false;  // Throwable: message given to the constructor
    std::wstring message;
    std::string thrownAt;     // Throwable: "com.x.Y.main" where it was thrown
};

enum class RefKind { Local, Global, WeakGlobal };

struct Ref {
    Object* obj = nullptr;
    RefKind kind = RefKind::Local;
    bool live = true;
};

Object* newObjectOf(const ClassInfo* cls);
Object* newStringObject(const std::wstring& text);
Object* newArrayObject(const ClassInfo* arrayClass, size_t length);
Object* classObjectOf(const ClassInfo* cls);
size_t elementSize(char type);

// References: every jobject handed out is a Ref; refs are never reused, so a
// deleted or foreign reference is always recognised.
jobject newLocalRef(Object* obj);
jobject newGlobalRef(Object* obj, RefKind kind);
// The object behind a reference; null for a null reference.  A deleted or
// unknown reference is a fatal error that names the JNI function.
Object* deref(jobject ref, const char* function);
Ref* refOf(jobject ref);  // null when unknown
void pushLocalFrame();
void popLocalFrame();
size_t countLiveLocalRefs();
void clearHeap();

// Throwable support.
bool isThrowable(const ClassInfo* cls);
Object* newThrowable(const char* className, const std::wstring* message, const std::string& thrownAt);

// The pending exception of the calling thread.
Object* currentPending();
void setPending(Object* throwable);  // records a "pending" line
void clearPending();

// Buffers handed out by Get...Chars / Get...ArrayElements and not yet released.
struct OpenBuffer {
    Object* owner = nullptr;
    std::string function;  // the Get function that made it
};
std::map<const void*, OpenBuffer>& openBuffers();

// Value objects of java/lang/Integer, Long, Boolean: their primitive value.
bool boxedValue(const Object* obj, Slot* value);

// ---- the lock, recording, failures -----------------------------------------

std::recursive_mutex& lock();

void record(const std::string& line);
std::string quoteText(const std::wstring& text);
std::string render(const Object* obj);
std::string render(const Slot& slot);
std::string renderClass(const ClassInfo* cls);
std::string renderMethod(const MethodInfo* m);
std::string renderField(const FieldInfo* f);
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);
std::wstring fromModifiedUtf8(const char* text);
std::string toModifiedUtf8(const std::wstring& text);

// Records "fatal<TAB>message", prints the message to standard error and
// aborts: for JNI misuse and everything the fake does not model.
[[noreturn]] void fatal(const std::string& message);
[[noreturn]] void unimplemented(const char* function);
void writeStderr(const std::string& utf8);

// ---- methods ----------------------------------------------------------------

// The registered natives, and the rows of successful RegisterNatives calls.
std::map<const MethodInfo*, void*>& nativeBindings();
std::vector<Registration>& registrationLog();

// Runs a method as a call from native code would: handlers of the test,
// registered natives, then the built-in behaviours of the java/lang classes.
// The lock must not be held.
Slot invokeMethod(const MethodInfo* method, Object* receiver, const ClassInfo* cls, const std::vector<Slot>& args);
// Runs a native function with the arguments of a method descriptor.
Slot callNativeFunction(void* fnPtr, const MethodInfo* method, Object* receiverOrClass, const std::vector<Slot>& args);
std::map<const MethodInfo*, MethodHandler>& methodHandlers();
// Set through System.setProperty.
std::map<std::wstring, std::wstring>& systemProperties();
// The strings NewString and NewStringUTF may still make; negative: no limit.
int& stringsLeft();
// The string and array copies the Get functions may still hand out; negative: no limit.
int& copiesLeft();

// ---- the VM -------------------------------------------------------------------

JNIEnv* theEnv();
JavaVM* theVm();
// Set by DestroyJavaVM; a destroyed VM cannot be created again.
bool& vmDestroyed();
// Asserts that the process's JNI tables have every slot filled.
bool tablesComplete();

}  // namespace internal
}  // namespace fakejni
