// The four memory primitives a compiler may call even in freestanding code (for large
// copies and zeroing). Built with -fno-tree-loop-distribute-patterns so that these
// loops are not turned back into calls to themselves. Linked into the tools only;
// hosted builds use the system's.
#include <cstddef>

extern "C" {

void *memcpy(void *dst, const void *src, size_t n)
{
	auto *d = static_cast<unsigned char *>(dst);
	auto *s = static_cast<const unsigned char *>(src);
	while (n--)
		*d++ = *s++;
	return dst;
}

void *memmove(void *dst, const void *src, size_t n)
{
	auto *d = static_cast<unsigned char *>(dst);
	auto *s = static_cast<const unsigned char *>(src);
	if (d < s)
		return memcpy(dst, src, n);
	while (n--)
		d[n] = s[n];
	return dst;
}

void *memset(void *dst, int c, size_t n)
{
	auto *d = static_cast<unsigned char *>(dst);
	while (n--)
		*d++ = static_cast<unsigned char>(c);
	return dst;
}

int memcmp(const void *a, const void *b, size_t n)
{
	auto *x = static_cast<const unsigned char *>(a);
	auto *y = static_cast<const unsigned char *>(b);
	for (; n; n--, x++, y++)
		if (*x != *y)
			return *x - *y;
	return 0;
}
}
