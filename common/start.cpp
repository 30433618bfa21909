// Process entry: the processor's stub (common/arch/) hands the address of argc, at the
// top of the initial stack with argv right above it, to kavro_start.
#include "common/entry.hpp"
#include "common/out.hpp"

asm(".text\n"
    ".global _start\n"
    "_start:\n"
    KAVRO_ENTRY_STUB);

// A parent may start us with no argument vector at all (argc 0, which kernels before
// 5.18 allow); then there is no program name to skip, and the tool sees no arguments.
// A run whose output was lost has failed, whatever the tool made of it; a failure the
// tool already reported keeps its own status.
extern "C" [[noreturn]] __attribute__((used)) void kavro_start(long *sp)
{
	int argc = static_cast<int>(sp[0]);
	int skip = argc > 0;
	int status = tool_main(argc - skip, reinterpret_cast<char **>(sp + 1 + skip));
	sys::exit(status ? status : out_failed);
}
