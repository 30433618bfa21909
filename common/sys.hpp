// The Linux system calls the kit makes, as thin typed wrappers over the processor's raw
// call (common/arch/), each returning the raw kernel result: -errno on failure. The
// kernel's structures have their real shape here, in the kernel's field order.
#pragma once
#include <cstddef>
#include <cstdint>

namespace sys {
struct pollfd; // the processor's poll takes it
}

#include "common/arch/current.hpp"

namespace sys {

// Error results of the kernel ABI the kit acts on (the raw -errno).
enum : long { eintr = -4, eagain = -11 };

// Constants of the kernel ABI the kit uses, the same on every processor family the kit
// is built for (O_DIRECTORY, which is not, comes from common/arch/).
enum : int {
	o_rdonly = 0, o_nonblock = 04000, f_getfl = 3,
	af_inet = 2, sock_stream = 1, sock_dgram = 2,
	sol_socket = 1, so_rcvtimeo = 20,
	pollin = 1, pollout = 4, pollnval = 0x20,
};

// struct sockaddr_in, made from an IPv4 address and a port. Both go in network byte
// order, most significant byte first, as they stand on the wire. (A constructor: g++
// builds the object in place, where a helper returning it builds it in a register pair
// and then realigns the caller's stack to store that.)
struct sockaddr_in {
	uint16_t sin_family;
	uint8_t sin_port[2];
	uint8_t sin_addr[4];
	uint8_t sin_zero[8];

	sockaddr_in(const uint8_t ip[4], uint16_t port)
		: sin_family(af_inet), sin_port{uint8_t(port >> 8), uint8_t(port)},
		  sin_addr{ip[0], ip[1], ip[2], ip[3]}, sin_zero{}
	{
	}
};

// struct pollfd (declared in common/arch/ for poll).
struct pollfd {
	int fd;
	short events;
	short revents;
};

// struct timeval.
struct timeval {
	long tv_sec;
	long tv_usec;
};

// struct sock_filter (one classic BPF instruction) and struct sock_fprog (a program).
struct sock_filter {
	uint16_t code;
	uint8_t jt, jf; // how many instructions to skip when the test holds, when it fails
	uint32_t k;
};

struct sock_fprog {
	uint16_t len;
	const sock_filter *filter;
};

inline long addr(const void *p) { return reinterpret_cast<long>(p); }

inline long read(int fd, void *buf, size_t n) { return call3(nr_read, fd, addr(buf), long(n)); }
inline long write(int fd, const void *buf, size_t n) { return call3(nr_write, fd, addr(buf), long(n)); }
inline long close(int fd) { return call1(nr_close, fd); }
inline long getpid() { return call0(nr_getpid); }
inline long kill(long pid, int sig) { return call2(nr_kill, pid, sig); }
inline long getdents64(int fd, void *buf, size_t n) { return call3(nr_getdents64, fd, addr(buf), long(n)); }
inline long socket(int domain, int type, int proto) { return call3(nr_socket, domain, type, proto); }
inline long fcntl(int fd, int cmd) { return call2(nr_fcntl, fd, cmd); }

inline long connect(int fd, const sockaddr_in &sa)
{
	return call3(nr_connect, fd, addr(&sa), sizeof sa);
}

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

} // namespace sys
