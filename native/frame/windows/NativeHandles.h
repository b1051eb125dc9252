// Small owners for what the natives open, so that early returns cannot leak:
// kernel handles, registry keys, service handles and arrays of the heap.
#pragma once
#include <windows.h>

template <class T, class Traits>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    T* put() {
        reset();
        return &value_;
    }
    bool valid() const { return Traits::valid(value_); }
    explicit operator bool() const { return valid(); }
    T release() {
        T value = value_;
        value_ = Traits::none();
        return value;
    }
    void reset(T value = Traits::none()) {
        if (Traits::valid(value_)) Traits::close(value_);
        value_ = value;
    }

private:
    T value_ = Traits::none();
};

struct KernelHandleTraits {
    static HANDLE none() { return nullptr; }
    // CreateFile and CreateNamedPipe fail with INVALID_HANDLE_VALUE, most other calls with null.
    static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};

struct RegistryKeyTraits {
    static HKEY none() { return nullptr; }
    static bool valid(HKEY key) { return key != nullptr; }
    static void close(HKEY key) { RegCloseKey(key); }
};

struct ServiceHandleTraits {
    static SC_HANDLE none() { return nullptr; }
    static bool valid(SC_HANDLE h) { return h != nullptr; }
    static void close(SC_HANDLE h) { CloseServiceHandle(h); }
};

struct LocalMemoryTraits {
    static HLOCAL none() { return nullptr; }
    static bool valid(HLOCAL p) { return p != nullptr; }
    static void close(HLOCAL p) { LocalFree(p); }
};

using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using UniqueKey = UniqueResource<HKEY, RegistryKeyTraits>;
using UniqueServiceHandle = UniqueResource<SC_HANDLE, ServiceHandleTraits>;
using UniqueLocalMemory = UniqueResource<HLOCAL, LocalMemoryTraits>;

// An array of the heap, sized at run time from the input. Its elements are
// left uninitialised: the natives' buffers are filled by the calls they are
// passed to, and clearing 100000 bytes per call would cost more than the call.
template <class T>
class HeapArray {
public:
    explicit HeapArray(size_t count) : data_(new T[count]), count_(count) {}
    ~HeapArray() { delete[] data_; }
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;

    T* get() const { return data_; }
    size_t count() const { return count_; }
    T& operator[](size_t i) const { return data_[i]; }

private:
    T* data_;
    size_t count_;
};
