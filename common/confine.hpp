// Self-confinement. A tool that parses outside input locks itself, before it looks at
// any of it, to the system calls it makes: a kernel filter then kills the process on
// any other call, on another architecture's calls, and on a listed call whose checked
// arguments differ. A kernel or sandbox that refuses the filter leaves the tool running
// unconfined, exactly as before and without a word: confinement is a safety net, never
// a reason to fail a run.
#pragma once
#include "common/sys.hpp"

// The builds that must run under valgrind, which cannot follow a process that filters
// its own calls, leave the filter out (KAVRO_CONFINE=0).
constexpr bool confine_enabled = KAVRO_CONFINE;

// A tool's list is flat data. A call number starts an entry; every word after it that
// carries a field tag (arg_is) is a check on that call, and a call passes when all its
// checks hold. Alternatives for one call are separate entries. Call numbers and
// checked values stay below 2^24, under the tag.
// Only the low half of an argument is compared: the calls checked here take int
// arguments, of which the kernel itself reads no more, so the check is exact.
constexpr uint32_t arg_is(int i, uint32_t value)
{
	return uint32_t(16 + 8 * i) << 24 | value;  // field = offset of the argument's low half
}

namespace confine_detail {

// Classic BPF as the kernel reads it (struct sock_fprog). An instruction (struct
// sock_filter: u16 code, u8 jt, u8 jf, u32 k) is kept as two little-endian words, the
// code with its jumps and then k: g++ stores those in fewer bytes of code than one
// 64-bit word or four fields.
struct insn {
	uint32_t op;
	uint32_t k;
};
static_assert(sizeof(insn) == sizeof(sys::sock_filter));

enum : uint16_t { ld_abs = 0x20, jeq_k = 0x15, ret_k = 0x06 };
enum : uint32_t {
	arch_at = 4,
	ret_allow = 0x7fff0000, ret_kill = 0x80000000,  // SECCOMP_RET_KILL_PROCESS
};
enum : long { pr_set_no_new_privs = 38, set_mode_filter = 1 };

constexpr insn op(uint16_t code, uint32_t k, uint8_t jf = 0, uint8_t jt = 0)
{
	return {code | uint32_t(jt) << 16 | uint32_t(jf) << 24, k};
}

} // namespace confine_detail

// Builds the filter for calls and installs it. The call number is compared in full, so
// the x32 numbers (bit 30 set) and the invalid number a tracer's fault injection leaves
// never match an entry and end in the kill. Both results are ignored: without
// no_new_privs an unprivileged seccomp fails too, and a privileged one may still hold.
// The program is built back to front, so each failed check knows where the next entry
// starts: it skips there.
template <size_t N>
inline void install_filter(const uint32_t (&calls)[N])
{
	using namespace confine_detail;
	static insn prog[3 * N + 4];
	insn *end = prog + 3 * N + 4, *p = end - 1, *next = p;
	*p = op(ret_k, ret_kill);
	for (size_t i = N; i--;) {
		uint32_t w = calls[i];
		if (p == next)
			*--p = op(ret_k, ret_allow);
		--p;
		*p = op(jeq_k, w & 0xffffff, uint8_t(next - p - 1));
		*--p = op(ld_abs, w >> 24);
		if (!(w >> 24))
			next = p;
	}
	*--p = op(ret_k, ret_kill);
	*--p = op(jeq_k, sys::audit_arch, 0, 1);
	*--p = op(ld_abs, arch_at);
	sys::sock_fprog f{uint16_t(end - p), reinterpret_cast<const sys::sock_filter *>(p)};
	sys::call5(sys::nr_prctl, pr_set_no_new_privs, 1, 0, 0, 0);
	sys::call3(sys::nr_seccomp, set_mode_filter, 0, sys::addr(&f));
}

template <size_t N>
inline void confine(const uint32_t (&calls)[N])
{
	if constexpr (confine_enabled)
		install_filter(calls);
}
