// The system calls pkill makes, and so the only ones its filter lets through: listing
// /proc, reading command names, the two signals it can send, and the output. poll waits
// for a full output to drain; restart_syscall lets an interrupted wait go on after a
// stop and continue.
#pragma once
#include "common/confine.hpp"

alignas(4) inline constexpr uint32_t pkill_calls[] = {
	sys::nr_open, arg_is(sys::open_flags_arg, sys::o_rdonly), sys::nr_read, sys::nr_close,
	sys::nr_getdents64, sys::nr_open, arg_is(sys::open_flags_arg, sys::o_rdonly | sys::o_directory),
	sys::nr_kill, arg_is(1, 15), sys::nr_kill, arg_is(1, 9),
	sys::nr_getpid, sys::nr_write, sys::nr_poll, sys::nr_restart_syscall, sys::nr_exit,
};
