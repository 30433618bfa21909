# Confinement rows for bench/run (sourced; uses bench/lib.sh), in a table of their own:
# what the lock costs a trivial run of each confined tool, the shipped tool against the
# same tool built without confinement, side by side; and what installing each lock costs
# by itself: a do-nothing binary that takes it, against the floor. (dig's and curl's
# rows come from bench/dig.sh and bench/curl.sh, inside their namespaces.)

confine_tiny=$BENCH_WORK/confine-tiny.json
echo '{"a":[1,"x"]}' >"$confine_tiny"
confine_row jq 'jq . (tiny document)' . "$confine_tiny"
tests/ns-run bash -c '
	. bench/lib.sh
	start_victim kvconfinematch
	confine_row pkill "scan of a namespace of 4 processes, one match" kvconfinematch
'

# lock_bin NAME LOCK: a static binary that takes LOCK (C++ over the kit's headers) and exits.
lock_bin() {
	local out=$BENCH_WORK/lock-$1
	printf '#include "common/entry.hpp"\n#include "curl/calls.hpp"\n#include "jq/calls.hpp"\n#include "pkill/calls.hpp"\nint tool_main(int, char **) { %s; return 0; }\n' "$2" >"$out.cpp"
	g++ -std=c++20 -Os -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector -fno-pic \
		-fno-asynchronous-unwind-tables -I "$KAVRO_SRC" -DKAVRO_CONFINE=1 -static -nostdlib \
		-nostartfiles -no-pie -s -Wl,-z,noseparate-code -Wl,--build-id=none -o "$out" "$out.cpp" "$KAVRO_SRC/common/start.cpp" "$KAVRO_SRC/common/mem.cpp"
	echo "$out"
}
# lock_row LABEL LOCK: the install cost of LOCK, against the floor.
lock_row() {
	local b cells n
	b=$(lock_bin "$(echo "$1" | tr -c 'a-z0-9\n' -)" "$2")
	check_run "$b"
	n=$(strace -qq -e trace=seccomp -o "$BENCH_WORK/lock.trace" "$b" && sed -n 's/.*len=\([0-9]*\).*/\1/p' "$BENCH_WORK/lock.trace")
	cells=$(wall_ratio "$b")
	echo "| $1 | ${n:-0} | $cells |" >>"$BENCH_WORK/locks.md"
}
lock_row 'strict mode (jq, dig)' 'lock<jq_calls>(false)'
lock_row "output path's list (dig, output would block)" 'install_filter<as_list(out_calls)>()'
lock_row "jq's list (output or input would block)" 'install_filter<jq_calls>()'
lock_row "curl's list" 'install_filter<curl_calls>()'
lock_row "pkill's list" 'install_filter<pkill_calls>()'
