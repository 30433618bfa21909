// What pkill calls once it has locked itself (after its arguments, before the scan):
// listing /proc, reading command names, the signal it was asked for (either of the two
// it can send, and only to a single process above init), and the output path's calls.
// Its own process ID it asks for before.
#pragma once
#include "common/confine.hpp"
#include "common/out.hpp"
#include "pkill/walk.hpp"

// Its own calls first: the filter tests the calls without checks in list order, and
// reading command names is most of a scan.
alignas(4) inline constexpr auto pkill_calls = join({
	sys::nr_read, sys::nr_close, sys::nr_getdents64,
	sys::nr_open, arg_is(1, sys::o_rdonly),
	sys::nr_open, arg_is(1, sys::o_rdonly | sys::o_directory),
	sys::nr_kill, arg_is(1, sig_term), arg_pid(0),
	sys::nr_kill, arg_is(1, sig_kill), arg_pid(0),
}, out_calls);
