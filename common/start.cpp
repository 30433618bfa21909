// Process entry. The kernel starts us with argc at (%rsp) and argv right above it; we
// clear the frame pointer, pass the stack pointer on and realign the stack for the call.
#include "common/entry.hpp"
#include "common/out.hpp"

asm(".text\n"
    ".global _start\n"
    "_start:\n"
    "	xor %ebp, %ebp\n"
    "	mov %rsp, %rdi\n"
    "	and $-16, %rsp\n"
    "	call kavro_start\n");

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
