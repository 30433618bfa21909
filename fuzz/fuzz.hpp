// Shared bits of the fuzz targets: tool output goes to /dev/null, and an input can be
// read as a list of zero-separated strings (arguments).
#pragma once
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

inline void silence_stdout()
{
	int fd = open("/dev/null", O_WRONLY);
	dup2(fd, 1);
	close(fd);
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
