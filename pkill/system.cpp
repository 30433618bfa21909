// The record walk's two contacts with the running system, for the tool itself. Tests
// and fuzzers link the walk with fakes of these instead, so this file stays out of the
// hosted core and no hosted build can signal a real process.
#include "common/sys.hpp"
#include "pkill/walk.hpp"

long read_comm(const char *file, char *buf, size_t max)
{
	long fd = sys::open(file, sys::o_rdonly);
	if (fd < 0)
		return fd;
	long n = sys::read(static_cast<int>(fd), buf, max);
	sys::close(static_cast<int>(fd));
	return n;
}

bool send_signal(uint64_t pid, int signo) { return sys::kill(static_cast<long>(pid), signo) == 0; }
