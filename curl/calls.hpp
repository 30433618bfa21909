// What curl calls once it has locked itself (after the resolution's exchange, before it
// reads the reply): one TCP connection, and the output path's calls.
#pragma once
#include "common/confine.hpp"
#include "common/out.hpp"

alignas(4) inline constexpr auto curl_calls = join(out_calls, {
	sys::nr_read, sys::nr_connect, sys::nr_close,
	sys::nr_socket, arg_is(0, sys::af_inet), arg_is(1, sys::sock_stream),
});
