// An owner for service control manager handles.
#pragma once
#include <windows.h>

class UniqueServiceHandle {
public:
    explicit UniqueServiceHandle(SC_HANDLE h = nullptr) : h_(h) {}
    ~UniqueServiceHandle() {
        if (h_) CloseServiceHandle(h_);
    }
    UniqueServiceHandle(const UniqueServiceHandle&) = delete;
    UniqueServiceHandle& operator=(const UniqueServiceHandle&) = delete;
    SC_HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    SC_HANDLE h_;
};
