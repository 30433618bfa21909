// What jq still calls once it has locked itself (see tool_main) and a wait may be
// needed: the output path's calls, and read for the one byte that tells whether a full
// buffer held the whole input.
#pragma once
#include "common/confine.hpp"
#include "common/out.hpp"

alignas(4) inline constexpr auto jq_calls = join(out_calls, {sys::nr_read});
