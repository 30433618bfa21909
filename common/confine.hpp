// Self-confinement. A tool locks itself before it interprets any outside input (a reply,
// a document, a process's name): from then on the kernel kills the process on any call
// it does not allow. A kernel or sandbox that refuses the lock leaves the tool running
// unconfined, exactly as before and without a word: confinement is a safety net, never
// a reason to fail a run.
//
// Two locks. Strict mode, the kernel's oldest seccomp mode, allows read, write, exit
// and rt_sigreturn and nothing else; it has no program to check and compile, and so
// costs nothing measurable. A filter (a classic BPF program over each call's number and
// arguments) allows a list of calls; the kernel checks, converts and compiles it when it
// is installed and frees it at exit, which costs every run that installs one, the more
// the longer it is. jq and dig lock themselves once their input is held: strict mode,
// or a short filter where their output may have to be waited for (lock below). curl
// and pkill still open sockets and files while they interpret, and so install a filter
// of the calls they have left to make (confine below).
#pragma once
#include "common/sys.hpp"

// The builds that must run under valgrind, which cannot follow a process that locks
// itself, leave the locks out (KAVRO_CONFINE=0).
constexpr bool confine_enabled = KAVRO_CONFINE;

// A tool's list is flat data: a call number starts an entry; every word after it that
// carries a check tag (arg_is, arg_pid) is a check on that call's argument, and the call
// passes when all its checks hold. Alternatives for one call are separate entries.
// Call numbers and compared values stay below 2^24, under the tag: the tag byte is the
// kind of check and the offset of the argument's low half in struct seccomp_data.
// Only the low half of an argument is compared: the calls checked here take int
// arguments, of which the kernel itself reads no more, so the check is exact.
namespace confine_detail {

// struct seccomp_data: int nr; u32 arch; u64 instruction_pointer; u64 args[6].
enum : uint32_t { data_nr = 0, data_arch = 4 };
constexpr uint32_t data_arg(int i) { return 16 + 8 * i; } // its low half, little-endian

enum : uint32_t { check_eq = 0x00, check_pid = 0x40, check_kind = 0xc0 };

void value_above_2_24(); // never defined: calling it stops the build

} // namespace confine_detail

// Argument i equals value.
consteval uint32_t arg_is(int i, uint32_t value)
{
	if (value >> 24)
		confine_detail::value_above_2_24();
	return (confine_detail::check_eq | confine_detail::data_arg(i)) << 24 | value;
}

// Argument i, as a signed 32-bit number, names one process other than init: above 1.
consteval uint32_t arg_pid(int i)
{
	return (confine_detail::check_pid | confine_detail::data_arg(i)) << 24;
}

// A list of calls as a value, so that lists can be joined and filters built from them
// at compile time.
template <size_t N>
struct call_list {
	uint32_t w[N];
};

template <size_t N>
consteval call_list<N> as_list(const uint32_t (&a)[N])
{
	call_list<N> l{};
	for (size_t i = 0; i < N; i++)
		l.w[i] = a[i];
	return l;
}

template <size_t A, size_t B>
consteval call_list<A + B> join(const uint32_t (&a)[A], const uint32_t (&b)[B])
{
	call_list<A + B> l{};
	for (size_t i = 0; i < A + B; i++)
		l.w[i] = i < A ? a[i] : b[i - A];
	return l;
}

namespace confine_detail {

// The kernel's struct sock_filter and struct sock_fprog, field for field.
struct sock_filter {
	uint16_t code;
	uint8_t jt, jf; // how many instructions to skip when the test holds, when it fails
	uint32_t k;
};

struct sock_fprog {
	uint16_t len;
	const sock_filter *filter;
};

// The classic BPF instructions a filter here is made of.
enum : uint16_t {
	bpf_ld_w_abs = 0x20, // A = the 32-bit word at offset k of struct seccomp_data
	bpf_jeq_k = 0x15,    // A == k
	bpf_jgt_k = 0x25,    // A > k, unsigned
	bpf_jset_k = 0x45,   // A & k
	bpf_ret_k = 0x06,    // end with result k
};
enum : uint32_t {
	audit_arch_x86_64 = 0xc000003e,
	ret_allow = 0x7fff0000, ret_kill = 0x80000000, // SECCOMP_RET_KILL_PROCESS
	pid_top = 0x80000000, pid_init = 1,
};

enum : long {
	pr_set_seccomp = 22, pr_set_no_new_privs = 38, seccomp_mode_strict = 1,
	seccomp_set_mode_filter = 1,
};

constexpr bool is_check(uint32_t w) { return w >> 24; }

// Instructions of a check: loading the argument and testing it.
constexpr size_t check_len(uint32_t w) { return (w >> 24 & check_kind) == check_pid ? 3 : 2; }

// Instructions an entry adds: the test of its call number, its checks, and a reload of
// the call number when the entry before it left an argument loaded instead.
template <size_t N>
constexpr size_t entry_len(const call_list<N> &l, size_t i, bool reload)
{
	size_t n = reload + 1;
	for (size_t j = i + 1; j < N && is_check(l.w[j]); j++)
		n += check_len(l.w[j]);
	return n;
}

template <size_t N>
constexpr bool has_checks(const call_list<N> &l, size_t i)
{
	return i + 1 < N && is_check(l.w[i + 1]);
}

// Bare calls come first, all tested against the number loaded once; the entries with
// checks follow, each after a reload of the number but the first.
template <size_t N>
constexpr size_t filter_len(const call_list<N> &l)
{
	size_t n = 5, checked = 0;
	for (size_t i = 0; i < N; i++)
		if (!is_check(l.w[i]))
			n += has_checks(l, i) ? entry_len(l, i, checked++ > 0) : 1;
	return n;
}

template <size_t M>
struct bpf_program {
	sock_filter insn[M];
};

void jump_above_255(); // never defined: calling it stops the build

// The program for the list L, built at compile time: flat data in the binary, nothing
// left to build at run time. For the list {write, read, kill, arg_is(1, 15), arg_pid(0)}
// it is (jt and jf count the instructions skipped):
//
//	 0  ld   [4]                             the architecture
//	 1  jeq  #0xc000003e   jt 0  jf 9        x86-64, else to 11: kill
//	 2  ld   [0]                             the call number
//	 3  jeq  #1            jt 8  jf 0        write: to 12, allow
//	 4  jeq  #0            jt 7  jf 0        read: to 12, allow
//	 5  jeq  #62           jt 0  jf 5        kill, else to 11
//	 6  ld   [24]                            argument 1, low half
//	 7  jeq  #15           jt 0  jf 3        signal 15, else to 11
//	 8  ld   [16]                            argument 0, low half
//	 9  jset #0x80000000   jt 1  jf 0        a negative pid: to 11
//	10  jgt  #1            jt 1  jf 0        a pid above 1: to 12, else 11
//	11  ret  #0x80000000                     kill the process
//	12  ret  #0x7fff0000                     allow
//
// Another entry with checks would begin with "ld [0]" where the kill stands, and each
// of this entry's failures would jump there instead. The call number is compared in
// full, so the x32 numbers (bit 30 set) and the invalid number a tracer's fault
// injection leaves match no entry and end in the kill; no range check is needed.
template <auto L>
consteval auto build_filter()
{
	constexpr size_t len = filter_len(L), kill = len - 2, allow = len - 1, n = sizeof L.w / 4;
	bpf_program<len> f{};
	size_t p = 0;
	// Jump targets are absolute; 0 (never a target) is the next instruction.
	auto put = [&](uint16_t code, uint32_t k, size_t jt = 0, size_t jf = 0) {
		size_t t = jt ? jt - p - 1 : 0, e = jf ? jf - p - 1 : 0;
		if (t > 255 || e > 255)
			jump_above_255();
		f.insn[p++] = {code, uint8_t(t), uint8_t(e), k};
	};
	put(bpf_ld_w_abs, data_arch);
	put(bpf_jeq_k, audit_arch_x86_64, 0, kill);
	put(bpf_ld_w_abs, data_nr);
	for (size_t i = 0; i < n; i++)
		if (!is_check(L.w[i]) && !has_checks(L, i))
			put(bpf_jeq_k, L.w[i], allow);
	bool reload = false;
	for (size_t i = 0; i < n; i++) {
		if (is_check(L.w[i]) || !has_checks(L, i))
			continue;
		size_t fail = p + entry_len(L, i, reload);
		if (reload)
			put(bpf_ld_w_abs, data_nr);
		reload = true;
		put(bpf_jeq_k, L.w[i], 0, fail);
		for (size_t j = i + 1; j < n && is_check(L.w[j]); j++) {
			uint32_t c = L.w[j];
			size_t pass = j + 1 < n && is_check(L.w[j + 1]) ? 0 : allow;
			put(bpf_ld_w_abs, c >> 24 & ~check_kind);
			if ((c >> 24 & check_kind) == check_pid) {
				put(bpf_jset_k, pid_top, fail);
				put(bpf_jgt_k, pid_init, pass, fail);
			} else {
				put(bpf_jeq_k, c & 0xffffff, pass, fail);
			}
		}
	}
	put(bpf_ret_k, ret_kill);
	put(bpf_ret_k, ret_allow);
	return f;
}

template <auto L>
inline constexpr auto filter_for = build_filter<L>();

} // namespace confine_detail

// Installs the filter for the list L. Both results are ignored: without no_new_privs an
// unprivileged seccomp fails too, and a privileged one may still hold.
template <auto L>
inline void install_filter()
{
	using namespace confine_detail;
	const auto &f = filter_for<L>;
	sock_fprog prog{uint16_t(sizeof f.insn / sizeof f.insn[0]), f.insn};
	sys::call5(sys::nr_prctl, pr_set_no_new_privs, 1, 0, 0, 0);
	sys::call3(sys::nr_seccomp, seccomp_set_mode_filter, 0, sys::addr(&prog));
}

// curl and pkill: the filter of their own calls, installed before they interpret
// anything they received or read.
template <auto L>
inline void confine()
{
	if constexpr (confine_enabled)
		install_filter<L>();
}

// Whether fd was opened non-blocking, so that reading or writing it may have to wait
// with poll. A descriptor that is not open answers yes: the cautious answer.
[[gnu::noinline]] inline bool may_wait(int fd)
{
	return confine_enabled && sys::fcntl(fd, sys::f_getfl) & sys::o_nonblock;
}

// jq and dig: the lock taken once the outside input is held and nothing is left to open
// or ask for. Where no wait can be needed it is strict mode: the output's writes block
// by themselves. Where one may be needed, the filter of L (the output path's calls and
// what the tool still reads) instead: strict mode would kill the process at its first
// poll, and without poll a descriptor that would block could only be spun on. The
// flags belong to the open file, which others may share: one that another process
// makes non-blocking during the run ends it at its first wait, a rarity taken over
// spinning or a filter in every run.
template <auto L>
inline void lock(bool wait)
{
	using namespace confine_detail;
	if constexpr (confine_enabled) {
		if (wait)
			install_filter<L>();
		else
			sys::call2(sys::nr_prctl, pr_set_seccomp, seccomp_mode_strict);
	}
}
