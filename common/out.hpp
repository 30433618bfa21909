// Direct output: every call is exactly one write system call, unbuffered, result ignored.
// The tools' write granularity is part of their documented behaviour, so nothing here
// ever joins or splits writes.
#pragma once
#include "common/sys.hpp"

inline size_t str_len(const char *s)
{
	size_t n = 0;
	while (s[n])
		n++;
	return n;
}

// Byte-for-byte equality of two zero-terminated strings.
inline bool str_eq(const char *a, const char *b)
{
	while (*a && *a == *b) {
		a++;
		b++;
	}
	return *a == *b;
}

inline void out_buf(int fd, const void *buf, size_t n) { sys::write(fd, buf, n); }
inline void out_str(int fd, const char *s) { sys::write(fd, s, str_len(s)); }

// Writes a constant text whose length the compiler counted (the array's last byte is
// the literal's terminating zero, which is not written).
template <size_t N>
inline void out_text(int fd, const char (&text)[N])
{
	sys::write(fd, text, N - 1);
}
