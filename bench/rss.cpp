// rss PROGRAM ARGS...: runs PROGRAM and prints its peak resident memory in KiB. Built
// without libc on the kit's own runtime, so that the few pages of this spawner (which
// the kernel counts into the child's peak until the exec) stay far below any tool's.
#include "common/entry.hpp"
#include "common/out.hpp"

static constexpr long nr_fork = 57, nr_execve = 59, nr_wait4 = 61;
static long rusage[18];
static char digits[24];

int tool_main(int argc, char **argv)
{
	if (argc < 1)
		return 2;
	char **envp = argv + argc + 1;
	long pid = sys::call0(nr_fork);
	if (pid == 0) {
		sys::call3(nr_execve, sys::addr(argv[0]), sys::addr(argv), sys::addr(envp));
		return 127;
	}
	int status = 0;
	sys::call6(nr_wait4, pid, sys::addr(&status), 0, sys::addr(rusage), 0, 0);
	long kib = rusage[4]; // ru_maxrss follows the two timevals
	size_t i = sizeof digits - 1;
	digits[--i] = '\n';
	do {
		digits[--i] = char('0' + kib % 10);
		kib /= 10;
	} while (kib);
	out_buf(1, digits + i, sizeof digits - 1 - i);
	return 0;
}
