// Loaded into every program of a cross build that runs under qemu-user here.
//
// Qt 5.15 starts child processes with clone(CLONE_PIDFD) once waitid(P_PIDFD)
// is known to the kernel. qemu-user 7.2 passes that probe on to this
// machine's kernel, which knows it, but refuses the clone; QProcess then
// goes on with a descriptor it never got (and closes whatever that number
// is). Answering the probe as a kernel before 5.4 does, as the device's own
// does, makes Qt fork the classic way.
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/syscall.h>

namespace {

const long PidfdIdType = 3; // P_PIDFD
const int SyscallArguments = 6;

} // namespace

extern "C" long syscall(long number, ...)
{
    long a[SyscallArguments];
    va_list ap;
    va_start(ap, number);
    for (long& arg : a)
        arg = va_arg(ap, long);
    va_end(ap);
    if (number == SYS_waitid && a[0] == PidfdIdType) {
        errno = EINVAL;
        return -1;
    }
    using Syscall = long (*)(long, ...);
    static const auto next = reinterpret_cast<Syscall>(dlsym(RTLD_NEXT, "syscall"));
    return next(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

// The programs these start are this machine's own or start under qemu again
// with this library named afresh.
__attribute__((constructor)) static void keepFromChildren()
{
    unsetenv("LD_PRELOAD");
}
