// Direct output: every call is exactly one write system call, unbuffered, result ignored.
// The tools' write granularity is part of their documented behaviour, so nothing here
// ever joins or splits writes.
#pragma once
#include "common/sys.hpp"
#include "common/text.hpp"

inline void out_buf(int fd, const void *buf, size_t n) { sys::write(fd, buf, n); }
inline void out_str(int fd, const char *s) { sys::write(fd, s, str_len(s)); }

// One byte to standard output. It is written from a static cell rather than the
// caller's stack: no frame is needed to hold it, and the buffer address a trace shows
// is the same in every run.
inline char out_cell;
[[gnu::noinline]] inline void out_byte(char c)
{
	out_cell = c;
	out_buf(1, &out_cell, 1);
}

// Writes a constant text whose length the compiler counted (the array's last byte is
// the literal's terminating zero, which is not written).
template <size_t N>
inline void out_text(int fd, const char (&text)[N])
{
	sys::write(fd, text, N - 1);
}
