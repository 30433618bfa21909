// Raw Linux x86-64 system calls: the number goes in rax, arguments in rdi, rsi, rdx,
// r10, r8, r9; the kernel clobbers rcx and r11 and returns the result (or -errno) in rax.
// The "memory" clobber stops the compiler from caching buffers across a call.
#pragma once
#include <cstddef>
#include <cstdint>

namespace sys {

enum : long {
	nr_read = 0, nr_write = 1, nr_open = 2, nr_close = 3, nr_poll = 7,
	nr_getpid = 39, nr_socket = 41, nr_connect = 42, nr_sendto = 44,
	nr_recvfrom = 45, nr_setsockopt = 54, nr_exit = 60, nr_kill = 62, nr_fcntl = 72,
	nr_prctl = 157, nr_getdents64 = 217, nr_restart_syscall = 219, nr_seccomp = 317,
};

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

inline long addr(const void *p) { return reinterpret_cast<long>(p); }

inline long read(int fd, void *buf, size_t n) { return call3(nr_read, fd, addr(buf), long(n)); }
inline long write(int fd, const void *buf, size_t n) { return call3(nr_write, fd, addr(buf), long(n)); }
inline long open(const char *path, int flags) { return call3(nr_open, addr(path), flags, 0); }
inline long close(int fd) { return call1(nr_close, fd); }
inline long getpid() { return call0(nr_getpid); }
inline long kill(long pid, int sig) { return call2(nr_kill, pid, sig); }
inline long getdents64(int fd, void *buf, size_t n) { return call3(nr_getdents64, fd, addr(buf), long(n)); }
inline long socket(int domain, int type, int proto) { return call3(nr_socket, domain, type, proto); }
inline long connect(int fd, const void *sa, size_t len) { return call3(nr_connect, fd, addr(sa), long(len)); }
inline long poll(void *fds, size_t n, int timeout_ms) { return call3(nr_poll, addr(fds), long(n), timeout_ms); }
inline long fcntl(int fd, int cmd) { return call2(nr_fcntl, fd, cmd); }

inline long sendto(int fd, const void *buf, size_t n, int flags, const void *sa, size_t salen)
{
	return call6(nr_sendto, fd, addr(buf), long(n), flags, addr(sa), long(salen));
}

inline long recvfrom(int fd, void *buf, size_t n, int flags, void *sa, void *salen)
{
	return call6(nr_recvfrom, fd, addr(buf), long(n), flags, addr(sa), addr(salen));
}

inline long setsockopt(int fd, int level, int name, const void *val, size_t len)
{
	return call5(nr_setsockopt, fd, level, name, addr(val), long(len));
}

[[noreturn]] inline void exit(int status)
{
	for (;;)
		call1(nr_exit, status);
}

// Error results of the kernel ABI the kit acts on (the raw -errno).
enum : long { eintr = -4, eagain = -11 };

// Constants of the kernel ABI the kit uses.
enum : int {
	o_rdonly = 0, o_nonblock = 04000, o_directory = 0200000, f_getfl = 3,
	af_inet = 2, sock_stream = 1, sock_dgram = 2,
	sol_socket = 1, so_rcvtimeo = 20,
	pollin = 1, pollout = 4, pollnval = 0x20,
};

} // namespace sys
