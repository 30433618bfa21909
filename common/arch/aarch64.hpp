// Linux on aarch64 (arm64), as the kit calls it.
//   call:    `svc #0`; number in x8, arguments in x0 to x5, result (or -errno) in x0;
//            the kernel keeps every other register.
//   entry:   sp points at argc and is 16-byte aligned already.
//   seccomp: AUDIT_ARCH_AARCH64. The generic call table has no open and no poll:
//            openat from the working folder and ppoll without a timeout or a signal
//            mask stand in for them.
// The "memory" clobber stops the compiler from keeping a buffer in registers across a
// call.
#pragma once
#include <cstdint>

// The word dig's banner names the build's processor with (a literal: it is joined to
// the banner's other literals by the compiler).
#define KAVRO_ARCH_NAME "aarch64"

namespace sys {

// The generic table's numbers, by name (the kit's filters list them).
enum : long {
	// files, output and the wait for it (openat and ppoll stand in for open and poll)
	nr_read = 63, nr_write = 64, nr_open = 56, nr_close = 57, nr_poll = 73, nr_fcntl = 25,
	// sockets
	nr_socket = 198, nr_connect = 203, nr_sendto = 206, nr_recvfrom = 207, nr_setsockopt = 208,
	// processes
	nr_getpid = 172, nr_kill = 129, nr_getdents64 = 61, nr_exit = 93, nr_restart_syscall = 128,
	// confinement
	nr_prctl = 167, nr_seccomp = 277,
};

// AUDIT_ARCH_AARCH64: EM_AARCH64 (183), 64-bit, little-endian.
inline constexpr uint32_t audit_arch = 0xc00000b7;

// openat(dirfd, path, flags, mode) takes the flags third; O_DIRECTORY is arm64's own.
inline constexpr int open_flags_arg = 2, o_directory = 040000;

// Each argument is pinned to its register; x0 carries the first in and the result out.
inline long call6(long n, long a, long b = 0, long c = 0, long d = 0, long e = 0, long f = 0)
{
	register long x8 asm("x8") = n;
	register long x0 asm("x0") = a;
	register long x1 asm("x1") = b;
	register long x2 asm("x2") = c;
	register long x3 asm("x3") = d;
	register long x4 asm("x4") = e;
	register long x5 asm("x5") = f;
	asm volatile("svc #0" : "+r"(x0) : "r"(x8), "r"(x1), "r"(x2), "r"(x3), "r"(x4), "r"(x5)
		     : "memory");
	return x0;
}

inline long call0(long n) { return call6(n, 0); }
inline long call1(long n, long a) { return call6(n, a); }
inline long call2(long n, long a, long b) { return call6(n, a, b); }
inline long call3(long n, long a, long b, long c) { return call6(n, a, b, c); }
inline long call5(long n, long a, long b, long c, long d, long e) { return call6(n, a, b, c, d, e); }

// int openat(int dirfd, const char *path, int flags, mode_t mode), from AT_FDCWD.
inline long open(const char *path, int flags)
{
	return call6(nr_open, -100, reinterpret_cast<long>(path), flags);
}

// int ppoll(struct pollfd *fds, nfds_t n, const struct timespec *timeout,
// const sigset_t *mask, size_t masksize), as poll(fds, n, timeout_ms): no timeout (for
// -1) waits without a limit, and no mask leaves the signal mask as it is.
inline long poll(pollfd *fds, long n, int timeout_ms)
{
	const long timeout[2] = {timeout_ms / 1000, timeout_ms % 1000 * 1000000L}; // timespec
	return call6(nr_poll, reinterpret_cast<long>(fds), n,
		     timeout_ms < 0 ? 0 : reinterpret_cast<long>(timeout));
}

} // namespace sys

// The process entry. The kernel starts us with the stack as drawn, sp at argc:
//
//   sp -> argc
//         argv[0] ... argv[argc - 1], NULL
//         envp[0] ... NULL
//         auxiliary vector ...
//
// Its address is handed to kavro_start, which never returns.
#define KAVRO_ENTRY_STUB                                                              \
	"	mov x29, #0\n"        /* the outermost frame: no frame record to follow */  \
	"	mov x30, #0\n"        /* and no return address */                           \
	"	mov x0, sp\n"         /* first argument: the address of argc */             \
	"	bl kavro_start\n"
