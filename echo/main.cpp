// echo: writes its arguments separated by single spaces, then a newline unless the
// first argument is exactly "-n". Each separator and each argument is its own write.
#include "common/entry.hpp"
#include "common/out.hpp"

static constexpr char spc = ' ';
static constexpr char nl = '\n';

// Output stops at the first write that fails for good, as nothing after it could make
// up for the gap, and the run then fails.
int tool_main(int argc, char **argv)
{
	bool flg_n = argc > 0 && str_eq(argv[0], "-n");
	for (int i = flg_n; i < argc; i++) {
		if (i > flg_n && !out_all(1, &spc, 1))
			return 1;
		if (!out_all(1, argv[i], str_len(argv[i])))
			return 1;
	}
	if (!flg_n && !out_all(1, &nl, 1))
		return 1;
	return 0;
}
