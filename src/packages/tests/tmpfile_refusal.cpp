// The checked open() of <fcntl.h> is an inline definition that the one below would clash with.
#undef _FORTIFY_SOURCE
#include "packages/tests/tmpfile_refusal.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::atomic<int> refused{0};

} // namespace

void velm::test::refuseTmpfile(int error)
{
    refused = error;
}

// A program's own open() comes before the C library's, for the program's calls and its libraries' alike.
extern "C" int open(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    if ((flags & O_TMPFILE) == O_TMPFILE && refused != 0) {
        errno = refused;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}
