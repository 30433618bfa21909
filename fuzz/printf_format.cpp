// The printf format walk over a format and its arguments (zero-separated).
#include "fuzz.hpp"
#include "printf/format.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	auto args = split_args(data, size);
	auto ptrs = arg_pointers(args);
	format_walk(ptrs[0], int(args.size()) - 1, ptrs.data() + 1);
	return 0;
}
