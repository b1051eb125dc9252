// The launcher is built without exceptions, so what the C++ runtime would
// throw cannot be caught: an allocation failure or a string grown past its
// limit ends the process, as the runtime's own handlers would end it after
// printing.  Replacing them (and the allocation function) here keeps what
// they bring along out of the program: the exception classes with their
// copy-on-write strings, the demangler of the default terminate handler and
// the printf it needs.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

// The replaceable allocation function: the runtime's own throws bad_alloc,
// which needs the exception machinery and, for its thread-local state,
// winpthread.  Failing to allocate ends the process either way.
void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) abort();
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }

namespace std {

void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
// A failed check of the library's assertions (an index out of range).
void __glibcxx_assert_fail(const char*, int, const char*, const char*) noexcept { abort(); }

}  // namespace std

namespace __gnu_cxx {

void __verbose_terminate_handler() { abort(); }

}  // namespace __gnu_cxx
