// The system calls dig makes, and so the only ones its filter lets through: one UDP
// exchange with the resolver and the output. poll waits for a full output to drain;
// restart_syscall lets an interrupted wait go on after a stop and continue.
#pragma once
#include "common/confine.hpp"

alignas(4) inline constexpr uint32_t dig_calls[] = {
	sys::nr_write, sys::nr_recvfrom, sys::nr_sendto, sys::nr_connect, sys::nr_close,
	sys::nr_socket, arg_is(0, sys::af_inet), arg_is(1, sys::sock_dgram), arg_is(2, 0),
	sys::nr_setsockopt, arg_is(1, sys::sol_socket), arg_is(2, sys::so_rcvtimeo),
	sys::nr_poll, sys::nr_restart_syscall, sys::nr_exit,
};
