// SPDX-License-Identifier: MIT
// The boundary between the library's C interface and its C++ insides: no
// exception may cross it. A call that runs out of memory inside standard C++
// code gives the caller's failure value with errno ENOMEM; the library prints
// nothing, the caller reports the failure with its reason.
#ifndef LIBTOOLS_SYS_IO_GUARDED_CALL_H
#define LIBTOOLS_SYS_IO_GUARDED_CALL_H

#include <cerrno>
#include <new>

namespace sys_io {

/// `body()`, or `on_failure` when it threw (errno ENOMEM for std::bad_alloc). The
/// operation's name tells a reader of the call which entry point it guards.
template <typename Result, typename Body>
Result guarded_call(const char * /*operation*/, Result on_failure, Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
    } catch (...) {
    }
    return on_failure;
}

} // namespace sys_io

#endif
