// Linux on x86-64, as the kit calls it.
//   call:    `syscall`; number in rax, arguments in rdi, rsi, rdx, r10, r8, r9;
//            result (or -errno) in rax; the kernel clobbers rcx and r11.
//   entry:   rsp points at argc; 16-byte stack alignment at every call.
//   seccomp: AUDIT_ARCH_X86_64, and the x32 calls (bit 30 set) never match a number.
// The "memory" clobber stops the compiler from keeping a buffer in registers across a
// call.
#pragma once
#include <cstdint>

// The word dig's banner names the build's processor with (a literal: it is joined to
// the banner's other literals by the compiler).
#define KAVRO_ARCH_NAME "x86_64"

namespace sys {

enum : long {
	nr_read = 0, nr_write = 1, nr_open = 2, nr_close = 3, nr_poll = 7,
	nr_getpid = 39, nr_socket = 41, nr_connect = 42, nr_sendto = 44,
	nr_recvfrom = 45, nr_setsockopt = 54, nr_exit = 60, nr_kill = 62, nr_fcntl = 72,
	nr_prctl = 157, nr_getdents64 = 217, nr_restart_syscall = 219, nr_seccomp = 317,
};

// The argument of nr_open that holds the flags; O_DIRECTORY, which differs by family.
inline constexpr int open_flags_arg = 1, o_directory = 0200000;

inline constexpr uint32_t audit_arch = 0xc000003e; // AUDIT_ARCH_X86_64

inline long call0(long n)
{
	long r;
	asm volatile("syscall" : "=a"(r) : "a"(n) : "rcx", "r11", "memory");
	return r;
}

inline long call1(long n, long a)
{
	long r;
	asm volatile("syscall" : "=a"(r) : "a"(n), "D"(a) : "rcx", "r11", "memory");
	return r;
}

inline long call2(long n, long a, long b)
{
	long r;
	asm volatile("syscall" : "=a"(r) : "a"(n), "D"(a), "S"(b) : "rcx", "r11", "memory");
	return r;
}

inline long call3(long n, long a, long b, long c)
{
	long r;
	asm volatile("syscall" : "=a"(r) : "a"(n), "D"(a), "S"(b), "d"(c)
		     : "rcx", "r11", "memory");
	return r;
}

inline long call5(long n, long a, long b, long c, long d, long e)
{
	long r;
	register long r10 asm("r10") = d;
	register long r8 asm("r8") = e;
	asm volatile("syscall" : "=a"(r) : "a"(n), "D"(a), "S"(b), "d"(c), "r"(r10), "r"(r8)
		     : "rcx", "r11", "memory");
	return r;
}

inline long call6(long n, long a, long b, long c, long d, long e, long f)
{
	long r;
	register long r10 asm("r10") = d;
	register long r8 asm("r8") = e;
	register long r9 asm("r9") = f;
	asm volatile("syscall" : "=a"(r)
		     : "a"(n), "D"(a), "S"(b), "d"(c), "r"(r10), "r"(r8), "r"(r9)
		     : "rcx", "r11", "memory");
	return r;
}

// int open(const char *path, int flags): the mode is unused without O_CREAT.
inline long open(const char *path, int flags)
{
	return call3(nr_open, reinterpret_cast<long>(path), flags, 0);
}

// int poll(struct pollfd *fds, nfds_t n, int timeout): -1 waits without a limit.
inline long poll(pollfd *fds, long n, int timeout_ms)
{
	return call3(nr_poll, reinterpret_cast<long>(fds), n, timeout_ms);
}

} // namespace sys

// The process entry. The kernel starts us with the stack as drawn, rsp at argc:
//
//   rsp -> argc
//          argv[0] ... argv[argc - 1], NULL
//          envp[0] ... NULL
//          auxiliary vector ...
//
// Its address is handed to kavro_start, which never returns.
#define KAVRO_ENTRY_STUB                                                              \
	"	xor %ebp, %ebp\n"     /* the outermost frame: no frame pointer to follow */ \
	"	mov %rsp, %rdi\n"     /* first argument: the address of argc */             \
	"	and $-16, %rsp\n"     /* the alignment the call below expects */            \
	"	call kavro_start\n"
