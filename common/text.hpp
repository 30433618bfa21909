// Byte-string helpers shared by the tools: arguments, names and keys are zero-terminated
// byte strings, compared byte for byte, and decimal digit runs are read the same way
// everywhere.
//
// The tools' constant arrays (texts, tables, call lists) are declared with their own
// alignment, alignas(1) or alignas(4). Without it g++ puts every array of 16 bytes or
// more on a 16-byte boundary, as the x86-64 ABI asks for the sake of vector loads, which
// no tool makes of these arrays (jq's read only its input), and pads a tool's read-only
// data by up to 15 bytes an array.
#pragma once
#include <cstddef>
#include <cstdint>

inline size_t str_len(const char *s)
{
	size_t n = 0;
	while (s[n])
		n++;
	return n;
}

// Byte-for-byte equality of two zero-terminated strings. Out of line: arguments are
// compared with several words, and one copy of the loop is smaller than one at each.
[[gnu::noinline]] inline bool str_eq(const char *a, const char *b)
{
	while (*a && *a == *b) {
		a++;
		b++;
	}
	return *a == *b;
}

// True when s begins with every byte of prefix.
inline bool starts(const char *s, const char *prefix)
{
	for (; *prefix; s++, prefix++)
		if (*s != *prefix)
			return false;
	return true;
}

// Copies src into dst of size bytes: at most size - 1 of them, then a zero. Gives the
// length copied n; src[n] is not zero when src did not fit. What a cut copy means is
// the caller's to say, since a cut name or filter would name something else.
inline size_t copy_str(char *dst, const char *src, size_t size)
{
	size_t n = 0;
	for (; n < size - 1 && src[n]; n++)
		dst[n] = src[n];
	dst[n] = 0;
	return n;
}

// Equality of two byte runs given by start and length.
inline bool bytes_eq(const char *a, size_t na, const char *b, size_t nb)
{
	if (na != nb)
		return false;
	for (size_t i = 0; i < na; i++)
		if (a[i] != b[i])
			return false;
	return true;
}

// Reads the run of decimal digits at s, leaving s on the first other byte. The value
// wraps modulo 2^32, as every digit run of the kit's inputs does; no digits give 0.
constexpr uint32_t dec_u32(const char *&s)
{
	uint32_t v = 0;
	for (; *s >= '0' && *s <= '9'; s++)
		v = v * 10 + static_cast<uint32_t>(*s - '0');
	return v;
}
