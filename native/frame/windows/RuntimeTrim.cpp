// The natives are built without exceptions, and an allocation failure in a
// native is not caught: whatever the C++ runtime would still throw ends the
// process. Replacing the default terminate handler, which would print the
// exception's demangled type first, keeps its demangler and the printf it
// needs out of the library.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { abort(); }

}  // namespace __gnu_cxx
