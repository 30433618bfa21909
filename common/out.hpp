// Direct output, unbuffered. Each call hands its bytes to the kernel in one write; only
// when the kernel takes part of them (a pipe's reader paused, a stop and continue), is
// interrupted or would block does the rest follow in further calls, so the documented
// write granularity holds in every ordinary run and no byte is ever dropped.
#pragma once
#include "common/sys.hpp"
#include "common/text.hpp"

// Set once a write has failed for good (reader gone with SIGPIPE ignored, disk full,
// I/O error, descriptor closed). Later output is skipped, since it could only leave a
// gap, and the entry turns a status of 0 into 1. Only standard output can set it in a
// run that would end with 0: every write to standard error comes before a failure
// status of its own.
inline bool out_failed;

// Waits until fd is ready for events (pollin, pollout). poll's own result does not
// matter: the next read or write tells. Kept apart from the loops that call it, which
// then need no saved registers.
[[gnu::noinline]] inline void fd_wait(long fd, long events)
{
	long pfd = fd | events << 32; // struct pollfd: fd, events, revents
	sys::poll(&pfd, 1, -1);
}

// What the output path and the exit after it call, and so what every confined run must
// be allowed: write; poll, where a descriptor that would block has to be waited for;
// restart_syscall, which resumes an interrupted wait after a stop and continue; exit.
alignas(4) inline constexpr uint32_t out_calls[] = {
	sys::nr_write, sys::nr_poll, sys::nr_restart_syscall, sys::nr_exit,
};

// Writes all n bytes (n may be 0: that is still one write call). After a short count or
// an interrupted call it goes on with the rest at once: on a blocking descriptor that
// next write blocks by itself until there is room. Only a descriptor that would block
// (opened non-blocking by whoever started us) is waited for with poll, so a run whose
// output blocks needs nothing but write. Any other failure is final, and then the
// result is false. echo acts on that result itself and so keeps no flag: that byte
// would be its only writable data, worth a segment of its own in the file. The other
// tools go through out_buf.
inline bool out_all(int fd, const void *buf, size_t n)
{
	auto *p = static_cast<const char *>(buf);
	for (;;) {
		long r = sys::write(fd, p, n);
		if (static_cast<size_t>(r) == n)
			return true;
		if (r == sys::eagain) {
			fd_wait(fd, sys::pollout);
		} else if (r > 0) {
			p += r;
			n -= static_cast<size_t>(r);
		} else if (r != sys::eintr) {
			return false;
		}
	}
}

// Writes all n bytes unless an earlier write has failed for good, and notes a failure.
// Out of line: one copy per tool is smaller than the loop at every call site.
[[gnu::noinline]] inline void out_buf(int fd, const void *buf, size_t n)
{
	if (!out_failed && !out_all(fd, buf, n))
		out_failed = true;
}

inline void out_str(int fd, const char *s) { out_buf(fd, s, str_len(s)); }

// Writes a constant text whose length the compiler counted (the array's last byte is
// the literal's terminating zero, which is not written).
template <size_t N>
inline void out_text(int fd, const char (&text)[N])
{
	out_buf(fd, text, N - 1);
}

// One byte to standard output. It is written from a static cell rather than the
// caller's stack: no frame is needed to hold it, and the buffer address a trace shows
// is the same in every run. Inline: with out_buf out of line, a call here costs no
// less than storing the byte where it is needed.
inline char out_cell;
inline void out_byte(char c)
{
	out_cell = c;
	out_buf(1, &out_cell, 1);
}
