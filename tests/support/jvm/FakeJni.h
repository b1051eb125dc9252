// A fake Java VM for Windows test programs: a JNIEnv and a JavaVM with the
// published function-table layout over a small object model (strings,
// arrays, value objects, class objects, exceptions, references), strict
// about class, method and field names and signatures.  The classes are
// those of tvrruntime.jar and the java/lang classes around them, taken from
// `javap -s -p` at build time.
//
// Every JNI call made through the env is recorded as one line (see
// README.md); any JNI function the fake does not model prints its name to
// standard error and aborts, so a test never runs on garbage.
//
// One VM per process, as in a real JVM.  The API below is for the test
// program itself: it creates and reads Java values without recording.
#pragma once
#include <jni.h>

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

namespace fakejni {

// A Java value: the descriptor letter of its type (Z B C S I J F D, L for
// references and arrays, V for none) and the value.  The accessors abort
// when the type is not the one asked for.
struct Value {
    char type = 'V';
    jvalue v{};

    static Value none();
    static Value ofBoolean(bool b);
    static Value ofInt(jint i);
    static Value ofLong(jlong j);
    static Value ofObject(jobject l);

    bool asBoolean() const;
    jbyte asByte() const;
    jchar asChar() const;
    jshort asShort() const;
    jint asInt() const;
    jlong asLong() const;
    jobject asObject() const;
    std::wstring asText() const;  // a non-null String
};

// An argument of a call made by the test: integers, booleans, references or
// null, converted to the declared parameter type (an int may go to a long
// parameter; a reference must be an instance of the parameter's class).
struct Arg {
    enum class Kind { Integral, Boolean, Reference };
    Kind kind = Kind::Integral;
    long long integral = 0;
    jobject ref = nullptr;

    template <class T, typename std::enable_if<std::is_integral<T>::value && !std::is_same<T, bool>::value, int>::type = 0>
    Arg(T value) : kind(Kind::Integral), integral(static_cast<long long>(value)) {}
    Arg(bool value) : kind(Kind::Boolean), integral(value ? 1 : 0) {}
    Arg(jobject value) : kind(Kind::Reference), ref(value) {}
    Arg(std::nullptr_t) : kind(Kind::Reference), ref(nullptr) {}
};

// ---- the VM -------------------------------------------------------------------

JNIEnv* env();
JavaVM* vm();

// Forgets every object, reference, registration, handler, record, system
// property and hidden mark, and the calling thread's pending exception.
// The class model stays.  References from before are invalid afterwards.
void reset();

// Adds classes from a `javap -s -p` listing (for test classes of a test
// program's own jar; a class already known keeps its first description);
// false when the text is not such a listing.
bool addClassModel(const std::string& javapListing);
bool hasClass(const char* className);
// From now on FindClass of the class fails as if it did not exist.
void hideClass(const char* className);
// From now on method lookups (and RegisterNatives rows) of this method fail.
void hideMethod(const char* className, const char* name, const char* signature);
// After `count` more strings, NewString and NewStringUTF fail as on a full
// heap: null, with an OutOfMemoryError pending. A negative count (as after
// reset) never fails.
void failStringsAfter(int count);
// After `count` more copies, GetStringChars, GetStringUTFChars and the
// Get<Type>ArrayElements functions fail as on a full heap: null, with an
// OutOfMemoryError pending. A negative count (as after reset) never fails.
void failCopiesAfter(int count);

// ---- records -----------------------------------------------------------------

// The record lines since the last reset or clearRecords, in order.
std::vector<std::string> records();
void clearRecords();
// Called with every record line as it is made (UTF-8, no line end).
void setRecordSink(void (*sink)(const std::string& line));
// How a Java string appears in a record line: "text" with \\ \" \n \r \t
// \0 and \uXXXX escapes.
std::string quote(const std::wstring& text);

// ---- Java methods run by the fake --------------------------------------------

struct Call {
    std::string className;  // the class that declares the method
    std::string name;
    std::string signature;
    jobject receiver = nullptr;  // null for a static method
    std::vector<Value> args;
};
// The behaviour of a Java method: returns the method's result (Value::none()
// for void); may make an exception pending with throwNew.
using MethodHandler = std::function<Value(JNIEnv* env, const Call& call)>;
// Installs the behaviour of a method of the model (aborts when the model has
// no such method).  Methods without a behaviour, other than natives and the
// built-in java/lang ones (toString, getMessage, intValue,
// System.setProperty, ...), abort when called.
void onCall(const char* className, const char* name, const char* signature, MethodHandler handler);

// ---- making Java values --------------------------------------------------------

jclass findClass(const char* className);  // aborts when unknown
jstring newString(const std::wstring& text);  // embedded NULs are kept
jobjectArray newStringArray(const std::vector<std::wstring>& texts);
jobjectArray newObjectArray(const char* elementClass, const std::vector<jobject>& elements);
jbooleanArray newBooleanArray(const std::vector<bool>& values);
jbyteArray newByteArray(const std::vector<jbyte>& values);
jintArray newIntArray(const std::vector<jint>& values);
jlongArray newLongArray(const std::vector<jlong>& values);
jobject newInteger(jint value);
jobject newLong(jlong value);
jobject newBoolean(bool value);
// An object made with a constructor of the model, as NewObject would.
jobject newObject(const char* className, const char* constructorSignature, std::initializer_list<Arg> args);
// Makes a new exception of the class pending on the calling thread.
void throwNew(const char* className, const std::wstring& message);

// ---- reading Java values -----------------------------------------------------------

bool isNull(jobject ref);
std::string className(jobject ref);  // "java/lang/String", "[I"
std::wstring text(jobject string);   // aborts unless a non-null String
std::vector<jobject> elements(jobject objectArray);
std::vector<std::wstring> texts(jobject stringArray);  // aborts on a null element
std::vector<bool> booleans(jobject booleanArray);
std::vector<jbyte> bytes(jobject byteArray);
std::vector<jint> ints(jobject intArray);
std::vector<jlong> longs(jobject longArray);
// The arguments the object's constructor got (NewObject), in order.
std::vector<Value> constructorArgs(jobject ref);
// The value inside an Integer, Long or Boolean.
Value boxedValue(jobject ref);
// System properties set through System.setProperty.
bool hasProperty(const std::wstring& name);
std::wstring property(const std::wstring& name);

// ---- exceptions, references, buffers -------------------------------------------------

jthrowable pendingException();  // a new local reference, or null
// "java.lang.RuntimeException: message", as Throwable.toString gives it.
std::string describe(jobject throwable);
void clearException();
size_t liveLocalRefs();
// Chars and array elements handed out by Get... and not yet released.
size_t openBuffers();

// ---- natives ------------------------------------------------------------------

// One row of a successful RegisterNatives call.
struct Registration {
    std::string className;
    std::string name;
    std::string signature;
    void* fnPtr = nullptr;
};
std::vector<Registration> registrations();
// The registered function of a native; null when it is not registered.
void* registeredFunction(const char* className, const char* name, const char* signature);

// Calls a registered native as the JVM would: with the env, the class (for a
// static native) or a new instance of it, and the arguments converted to the
// declared types.  Local references the native makes are released when it
// returns, as on a real JVM; the result is a new local reference.  Aborts
// when the native is not registered, the name is ambiguous (use the
// signature variant) or an argument does not fit.
Value callNative(const char* className, const char* name, std::initializer_list<Arg> args);
Value callNativeSig(const char* className, const char* name, const char* signature, std::initializer_list<Arg> args);
// The same for an instance native, on the given receiver.
Value callNativeOn(jobject receiver, const char* className, const char* name, std::initializer_list<Arg> args);
// The same for a function found by its export name rather than registered.
Value callFunction(void* fnPtr, const char* className, const char* name, const char* signature,
                   std::initializer_list<Arg> args);

}  // namespace fakejni
