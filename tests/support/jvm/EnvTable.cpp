// The env's and the VM's function tables.  Every slot starts out as a stub
// that records its own name and aborts; the implemented functions then
// replace their stubs.  So a JNI function the fake does not model can never
// return garbage, and a slot missing from the list below shows up as null in
// tablesComplete().
#include "tests/support/jvm/EnvParts.h"

namespace fakejni {
namespace internal {
namespace {

// Every function slot of JNINativeInterface_, in table order.
#define FAKEJNI_ENV_SLOTS(X) \
    X(GetVersion) \
    X(DefineClass) \
    X(FindClass) \
    X(FromReflectedMethod) \
    X(FromReflectedField) \
    X(ToReflectedMethod) \
    X(GetSuperclass) \
    X(IsAssignableFrom) \
    X(ToReflectedField) \
    X(Throw) \
    X(ThrowNew) \
    X(ExceptionOccurred) \
    X(ExceptionDescribe) \
    X(ExceptionClear) \
    X(FatalError) \
    X(PushLocalFrame) \
    X(PopLocalFrame) \
    X(NewGlobalRef) \
    X(DeleteGlobalRef) \
    X(DeleteLocalRef) \
    X(IsSameObject) \
    X(NewLocalRef) \
    X(EnsureLocalCapacity) \
    X(AllocObject) \
    X(NewObject) \
    X(NewObjectV) \
    X(NewObjectA) \
    X(GetObjectClass) \
    X(IsInstanceOf) \
    X(GetMethodID) \
    X(CallObjectMethod) \
    X(CallObjectMethodV) \
    X(CallObjectMethodA) \
    X(CallBooleanMethod) \
    X(CallBooleanMethodV) \
    X(CallBooleanMethodA) \
    X(CallByteMethod) \
    X(CallByteMethodV) \
    X(CallByteMethodA) \
    X(CallCharMethod) \
    X(CallCharMethodV) \
    X(CallCharMethodA) \
    X(CallShortMethod) \
    X(CallShortMethodV) \
    X(CallShortMethodA) \
    X(CallIntMethod) \
    X(CallIntMethodV) \
    X(CallIntMethodA) \
    X(CallLongMethod) \
    X(CallLongMethodV) \
    X(CallLongMethodA) \
    X(CallFloatMethod) \
    X(CallFloatMethodV) \
    X(CallFloatMethodA) \
    X(CallDoubleMethod) \
    X(CallDoubleMethodV) \
    X(CallDoubleMethodA) \
    X(CallVoidMethod) \
    X(CallVoidMethodV) \
    X(CallVoidMethodA) \
    X(CallNonvirtualObjectMethod) \
    X(CallNonvirtualObjectMethodV) \
    X(CallNonvirtualObjectMethodA) \
    X(CallNonvirtualBooleanMethod) \
    X(CallNonvirtualBooleanMethodV) \
    X(CallNonvirtualBooleanMethodA) \
    X(CallNonvirtualByteMethod) \
    X(CallNonvirtualByteMethodV) \
    X(CallNonvirtualByteMethodA) \
    X(CallNonvirtualCharMethod) \
    X(CallNonvirtualCharMethodV) \
    X(CallNonvirtualCharMethodA) \
    X(CallNonvirtualShortMethod) \
    X(CallNonvirtualShortMethodV) \
    X(CallNonvirtualShortMethodA) \
    X(CallNonvirtualIntMethod) \
    X(CallNonvirtualIntMethodV) \
    X(CallNonvirtualIntMethodA) \
    X(CallNonvirtualLongMethod) \
    X(CallNonvirtualLongMethodV) \
    X(CallNonvirtualLongMethodA) \
    X(CallNonvirtualFloatMethod) \
    X(CallNonvirtualFloatMethodV) \
    X(CallNonvirtualFloatMethodA) \
    X(CallNonvirtualDoubleMethod) \
    X(CallNonvirtualDoubleMethodV) \
    X(CallNonvirtualDoubleMethodA) \
    X(CallNonvirtualVoidMethod) \
    X(CallNonvirtualVoidMethodV) \
    X(CallNonvirtualVoidMethodA) \
    X(GetFieldID) \
    X(GetObjectField) \
    X(GetBooleanField) \
    X(GetByteField) \
    X(GetCharField) \
    X(GetShortField) \
    X(GetIntField) \
    X(GetLongField) \
    X(GetFloatField) \
    X(GetDoubleField) \
    X(SetObjectField) \
    X(SetBooleanField) \
    X(SetByteField) \
    X(SetCharField) \
    X(SetShortField) \
    X(SetIntField) \
    X(SetLongField) \
    X(SetFloatField) \
    X(SetDoubleField) \
    X(GetStaticMethodID) \
    X(CallStaticObjectMethod) \
    X(CallStaticObjectMethodV) \
    X(CallStaticObjectMethodA) \
    X(CallStaticBooleanMethod) \
    X(CallStaticBooleanMethodV) \
    X(CallStaticBooleanMethodA) \
    X(CallStaticByteMethod) \
    X(CallStaticByteMethodV) \
    X(CallStaticByteMethodA) \
    X(CallStaticCharMethod) \
    X(CallStaticCharMethodV) \
    X(CallStaticCharMethodA) \
    X(CallStaticShortMethod) \
    X(CallStaticShortMethodV) \
    X(CallStaticShortMethodA) \
    X(CallStaticIntMethod) \
    X(CallStaticIntMethodV) \
    X(CallStaticIntMethodA) \
    X(CallStaticLongMethod) \
    X(CallStaticLongMethodV) \
    X(CallStaticLongMethodA) \
    X(CallStaticFloatMethod) \
    X(CallStaticFloatMethodV) \
    X(CallStaticFloatMethodA) \
    X(CallStaticDoubleMethod) \
    X(CallStaticDoubleMethodV) \
    X(CallStaticDoubleMethodA) \
    X(CallStaticVoidMethod) \
    X(CallStaticVoidMethodV) \
    X(CallStaticVoidMethodA) \
    X(GetStaticFieldID) \
    X(GetStaticObjectField) \
    X(GetStaticBooleanField) \
    X(GetStaticByteField) \
    X(GetStaticCharField) \
    X(GetStaticShortField) \
    X(GetStaticIntField) \
    X(GetStaticLongField) \
    X(GetStaticFloatField) \
    X(GetStaticDoubleField) \
    X(SetStaticObjectField) \
    X(SetStaticBooleanField) \
    X(SetStaticByteField) \
    X(SetStaticCharField) \
    X(SetStaticShortField) \
    X(SetStaticIntField) \
    X(SetStaticLongField) \
    X(SetStaticFloatField) \
    X(SetStaticDoubleField) \
    X(NewString) \
    X(GetStringLength) \
    X(GetStringChars) \
    X(ReleaseStringChars) \
    X(NewStringUTF) \
    X(GetStringUTFLength) \
    X(GetStringUTFChars) \
    X(ReleaseStringUTFChars) \
    X(GetArrayLength) \
    X(NewObjectArray) \
    X(GetObjectArrayElement) \
    X(SetObjectArrayElement) \
    X(NewBooleanArray) \
    X(NewByteArray) \
    X(NewCharArray) \
    X(NewShortArray) \
    X(NewIntArray) \
    X(NewLongArray) \
    X(NewFloatArray) \
    X(NewDoubleArray) \
    X(GetBooleanArrayElements) \
    X(GetByteArrayElements) \
    X(GetCharArrayElements) \
    X(GetShortArrayElements) \
    X(GetIntArrayElements) \
    X(GetLongArrayElements) \
    X(GetFloatArrayElements) \
    X(GetDoubleArrayElements) \
    X(ReleaseBooleanArrayElements) \
    X(ReleaseByteArrayElements) \
    X(ReleaseCharArrayElements) \
    X(ReleaseShortArrayElements) \
    X(ReleaseIntArrayElements) \
    X(ReleaseLongArrayElements) \
    X(ReleaseFloatArrayElements) \
    X(ReleaseDoubleArrayElements) \
    X(GetBooleanArrayRegion) \
    X(GetByteArrayRegion) \
    X(GetCharArrayRegion) \
    X(GetShortArrayRegion) \
    X(GetIntArrayRegion) \
    X(GetLongArrayRegion) \
    X(GetFloatArrayRegion) \
    X(GetDoubleArrayRegion) \
    X(SetBooleanArrayRegion) \
    X(SetByteArrayRegion) \
    X(SetCharArrayRegion) \
    X(SetShortArrayRegion) \
    X(SetIntArrayRegion) \
    X(SetLongArrayRegion) \
    X(SetFloatArrayRegion) \
    X(SetDoubleArrayRegion) \
    X(RegisterNatives) \
    X(UnregisterNatives) \
    X(MonitorEnter) \
    X(MonitorExit) \
    X(GetJavaVM) \
    X(GetStringRegion) \
    X(GetStringUTFRegion) \
    X(GetPrimitiveArrayCritical) \
    X(ReleasePrimitiveArrayCritical) \
    X(GetStringCritical) \
    X(ReleaseStringCritical) \
    X(NewWeakGlobalRef) \
    X(DeleteWeakGlobalRef) \
    X(ExceptionCheck) \
    X(NewDirectByteBuffer) \
    X(GetDirectBufferAddress) \
    X(GetDirectBufferCapacity) \
    X(GetObjectRefType) \
    X(GetModule)

#define FAKEJNI_STUB(name) \
    void JNICALL unimplemented_##name() { unimplemented(#name); }
FAKEJNI_ENV_SLOTS(FAKEJNI_STUB)
FAKEJNI_STUB(reserved0)
FAKEJNI_STUB(reserved1)
FAKEJNI_STUB(reserved2)
FAKEJNI_STUB(reserved3)
// Slots of newer jni.h versions.
#ifdef JNI_VERSION_19
FAKEJNI_STUB(IsVirtualThread)
#endif
#ifdef JNI_VERSION_24
FAKEJNI_STUB(GetStringUTFLengthAsLong)
#endif

JNINativeInterface_ buildEnvTable() {
    JNINativeInterface_ t{};
#define FAKEJNI_FILL_STUB(name) t.name = reinterpret_cast<decltype(t.name)>(&unimplemented_##name);
    FAKEJNI_ENV_SLOTS(FAKEJNI_FILL_STUB)
#ifdef JNI_VERSION_19
    FAKEJNI_FILL_STUB(IsVirtualThread)
#endif
#ifdef JNI_VERSION_24
    FAKEJNI_FILL_STUB(GetStringUTFLengthAsLong)
#endif
    t.reserved0 = reinterpret_cast<void*>(&unimplemented_reserved0);
    t.reserved1 = reinterpret_cast<void*>(&unimplemented_reserved1);
    t.reserved2 = reinterpret_cast<void*>(&unimplemented_reserved2);
    t.reserved3 = reinterpret_cast<void*>(&unimplemented_reserved3);
    fillEnvFunctions(&t);
    fillCallFunctions(&t);
    return t;
}

const JNINativeInterface_& envTable() {
    static const JNINativeInterface_ table = buildEnvTable();
    return table;
}

// ---- the invocation interface -------------------------------------------------

// GetEnv accepts the versions up to the one GetVersion reports.
bool supportedVersion(jint version) {
    return version == JNI_VERSION_1_1 || version == JNI_VERSION_1_2 || version == JNI_VERSION_1_4 ||
           version == JNI_VERSION_1_6 || version == JNI_VERSION_1_8;
}

std::string hexVersion(jint version) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(version));
    return buffer;
}

jint JNICALL DestroyJavaVM(JavaVM*) {
    vmDestroyed() = true;
    record("DestroyJavaVM\t-> 0");
    return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM*, void** penv, void*) {
    if (!penv) fatal("AttachCurrentThread: null env pointer");
    *penv = theEnv();
    record("AttachCurrentThread\t-> 0");
    return JNI_OK;
}

jint JNICALL AttachCurrentThreadAsDaemon(JavaVM*, void** penv, void*) {
    if (!penv) fatal("AttachCurrentThreadAsDaemon: null env pointer");
    *penv = theEnv();
    record("AttachCurrentThreadAsDaemon\t-> 0");
    return JNI_OK;
}

jint JNICALL DetachCurrentThread(JavaVM*) {
    record("DetachCurrentThread\t-> 0");
    return JNI_OK;
}

jint JNICALL GetEnv(JavaVM*, void** penv, jint version) {
    if (!penv) fatal("GetEnv: null env pointer");
    bool ok = supportedVersion(version);
    *penv = ok ? theEnv() : nullptr;
    record("GetEnv\t" + hexVersion(version) + "\t-> " + (ok ? "0" : "-3"));
    return ok ? JNI_OK : JNI_EVERSION;
}

FAKEJNI_STUB(vmReserved0)
FAKEJNI_STUB(vmReserved1)
FAKEJNI_STUB(vmReserved2)

const JNIInvokeInterface_& vmTable() {
    static const JNIInvokeInterface_ table = [] {
        JNIInvokeInterface_ t{};
        t.reserved0 = reinterpret_cast<void*>(&unimplemented_vmReserved0);
        t.reserved1 = reinterpret_cast<void*>(&unimplemented_vmReserved1);
        t.reserved2 = reinterpret_cast<void*>(&unimplemented_vmReserved2);
        t.DestroyJavaVM = DestroyJavaVM;
        t.AttachCurrentThread = AttachCurrentThread;
        t.DetachCurrentThread = DetachCurrentThread;
        t.GetEnv = GetEnv;
        t.AttachCurrentThreadAsDaemon = AttachCurrentThreadAsDaemon;
        return t;
    }();
    return table;
}

template <class Table>
bool everySlotFilled(const Table& table) {
    void* const* slots = reinterpret_cast<void* const*>(&table);
    for (size_t i = 0; i < sizeof(Table) / sizeof(void*); ++i)
        if (!slots[i]) return false;
    return true;
}

}  // namespace

JNIEnv* theEnv() {
    static JNIEnv env{&envTable()};
    return &env;
}

JavaVM* theVm() {
    static JavaVM vm{&vmTable()};
    return &vm;
}

bool& vmDestroyed() {
    static bool destroyed = false;
    return destroyed;
}

bool tablesComplete() { return everySlotFilled(envTable()) && everySlotFilled(vmTable()); }

}  // namespace internal
}  // namespace fakejni
