// printf: the first argument is the format, whatever it looks like; the rest are values.
#include "common/entry.hpp"
#include "common/out.hpp"
#include "printf/format.hpp"

alignas(1) static constexpr char usage_line[] = "usage: printf FORMAT [ARG...]\n";
static_assert(sizeof usage_line - 1 == 30);

int tool_main(int argc, char **argv)
{
	if (argc == 0) {
		out_text(2, usage_line);
		return 2;
	}
	format_walk(argv[0], argc - 1, argv + 1);
	return 0;
}
