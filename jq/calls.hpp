// The system calls jq makes, and so the only ones its filter lets through: reading its
// input (a file opened read-only, or standard input) and the output. poll waits for a
// full output to drain; restart_syscall lets an interrupted wait go on after a stop and
// continue.
#pragma once
#include "common/confine.hpp"

alignas(4) inline constexpr uint32_t jq_calls[] = {
	sys::nr_read, sys::nr_write, sys::nr_open, arg_is(sys::open_flags_arg, sys::o_rdonly), sys::nr_close,
	sys::nr_poll, sys::nr_restart_syscall, sys::nr_exit,
};
