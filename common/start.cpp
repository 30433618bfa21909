// Process entry. The kernel starts us with argc at (%rsp) and argv right above it; we
// clear the frame pointer, pass the stack pointer on and realign the stack for the call.
#include "common/entry.hpp"
#include "common/sys.hpp"

asm(".text\n"
    ".global _start\n"
    "_start:\n"
    "	xor %ebp, %ebp\n"
    "	mov %rsp, %rdi\n"
    "	and $-16, %rsp\n"
    "	call kavro_start\n");

extern "C" [[noreturn]] __attribute__((used)) void kavro_start(long *sp)
{
	int argc = static_cast<int>(sp[0]);
	char **argv = reinterpret_cast<char **>(sp + 1);
	sys::exit(tool_main(argc - 1, argv + 1));
}
