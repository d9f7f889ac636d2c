// The boundary between the library's C interface and its C++ insides: no
// exception may cross it. A call that runs out of memory inside standard C++
// code reports it as the heap strings do and gives the caller's failure value.
#ifndef LIBTOOLS_SYS_IO_GUARDED_CALL_H
#define LIBTOOLS_SYS_IO_GUARDED_CALL_H

#include <cstdio>
#include <new>

namespace sys_io {

/// `body()`, or `on_failure` when it threw (after the allocation message for
/// std::bad_alloc).
template <typename Result, typename Body>
Result guarded_call(const char *operation, Result on_failure, Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "Error: %s: Memory allocation failed!\n", operation);
    } catch (...) {
    }
    return on_failure;
}

} // namespace sys_io

#endif
