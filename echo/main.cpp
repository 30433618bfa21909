// echo: writes its arguments separated by single spaces, then a newline unless the
// first argument is exactly "-n". Each separator and each argument is its own write.
#include "common/entry.hpp"
#include "common/out.hpp"

static constexpr char spc[] = " ";
static constexpr char nl[] = "\n";

int tool_main(int argc, char **argv)
{
	bool flg_n = argc > 0 && str_eq(argv[0], "-n");
	bool written = false;
	for (int i = flg_n; i < argc; i++) {
		if (written)
			out_text(1, spc);
		out_str(1, argv[i]);
		written = true;
	}
	if (!flg_n)
		out_text(1, nl);
	return 0;
}
