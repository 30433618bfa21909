// Shared bits of the fuzz targets: tool output goes to /dev/null, an input can be read
// as a list of zero-separated strings (arguments), and input that lands in one of the
// tools' static buffers is fenced in so that a read past it is reported.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sanitizer/asan_interface.h>
#include <string>
#include <unistd.h>
#include <vector>

// Every target's output goes to /dev/null: this file defines the one initialiser.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	int fd = open("/dev/null", O_WRONLY);
	dup2(fd, 1);
	close(fd);
	return 0;
}

// A static buffer is larger than most inputs, so ASan alone sees only reads that leave
// the whole buffer. This marks everything past the first held bytes as unreadable; the
// next call first makes the whole buffer usable again.
inline void poison_past(void *buf, size_t size, size_t held)
{
	auto *b = static_cast<uint8_t *>(buf);
	ASAN_UNPOISON_MEMORY_REGION(b, size);
	if (held < size)
		ASAN_POISON_MEMORY_REGION(b + held, size - held);
}

// Copies as much of the input as fits into the static buffer, poisons the rest and
// gives the count held, as a receive into that buffer would.
inline size_t load_poisoned(void *buf, size_t size, const uint8_t *data, size_t n)
{
	n = std::min(n, size);
	poison_past(buf, size, n);
	if (n)
		memcpy(buf, data, n);
	return n;
}

inline std::vector<std::string> split_args(const uint8_t *data, size_t size)
{
	std::vector<std::string> v(1);
	for (size_t i = 0; i < size; i++) {
		if (data[i])
			v.back() += char(data[i]);
		else
			v.emplace_back();
	}
	return v;
}

inline std::vector<char *> arg_pointers(std::vector<std::string> &args)
{
	std::vector<char *> p;
	for (auto &a : args)
		p.push_back(a.data());
	p.push_back(nullptr);
	return p;
}
