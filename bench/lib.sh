# Measuring helpers for bench/run and its per-tool parts (bench/*.sh).
# Needs: strace, valgrind, hyperfine, python3, gcc. BIN is the folder of the tools.

: "${KAVRO_SRC:=$PWD}" "${BIN:=$KAVRO_SRC/build/bin}" "${RUNS:=2000}"
: "${BENCH_WORK:=$(mktemp -d)}"

# The floor: a static binary that only exits, so that ratios show our own cost.
floor_bin() {
	local f=$BENCH_WORK/floor
	if [ ! -x "$f" ]; then
		printf '.globl _start\n_start:\n\tmov $60, %%eax\n\txor %%edi, %%edi\n\tsyscall\n' >"$f.s"
		gcc -nostdlib -static -no-pie -s -Wl,-z,noseparate-code -Wl,--build-id=none -o "$f" "$f.s"
	fi
	echo "$f"
}

# System calls of one run, execve not counted.
count_syscalls() {
	strace -f -qq -o "$BENCH_WORK/trace" "$@" <"${BENCH_STDIN:-/dev/null}" >/dev/null 2>&1 || true
	grep -v -c -E '^([0-9]+ +)?(execve|\+\+\+|---)' "$BENCH_WORK/trace"
}

# User-space instructions of one run (deterministic).
count_instructions() {
	valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" \
		<"${BENCH_STDIN:-/dev/null}" 2>&1 >/dev/null | sed -n 's/.*Collected : *//p'
}

# Peak resident memory of one run, in KiB. The kernel's ru_maxrss comes from batched
# per-CPU page counters and reads 0 for processes this small, so instead the run is
# held at its exit call for a moment (strace) while its resident set is read from the
# page tables. The tools never unmap memory, so the set at exit is the peak.
peak_rss() {
	strace -qq -o /dev/null -e trace=exit,exit_group \
		-e inject=exit,exit_group:delay_enter=300000 "$@" \
		<"${BENCH_STDIN:-/dev/null}" >/dev/null 2>&1 &
	local tracer=$! state=R kid k v peak=0 name
	name=$(basename "$1" | cut -c1-15)
	while [ "$state" != Z ] && read -r _ _ state _ 2>/dev/null <"/proc/$tracer/stat"; do
		kid=
		read -r kid _ 2>/dev/null <"/proc/$tracer/task/$tracer/children" || [ -n "$kid" ] || continue
		read -r k 2>/dev/null <"/proc/$kid/comm" && [ "$k" = "$name" ] || continue
		while read -r k v _; do
			[ "$k" = Rss: ] && [ "$v" -gt "$peak" ] && peak=$v
		done 2>/dev/null <"/proc/$kid/smaps_rollup" || true
	done
	wait "$tracer" || true
	echo "$peak"
}

# Mean wall time of the command over the floor's, both measured side by side
# (standard input is not fed here: give such tools a file).
wall_ratio() {
	local cmd floor
	cmd=$(printf '%q ' "$@")
	floor=$(floor_bin)
	hyperfine -N --warmup 100 --runs "$RUNS" --output null --export-json "$BENCH_WORK/h.json" -- "$floor" "$cmd" >/dev/null 2>&1
	python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"]
print("%.2fx (%.0f us)" % (r[1]["mean"] / r[0]["mean"], r[1]["mean"] * 1e6))' "$BENCH_WORK/h.json"
}

header() {
	echo "| tool | run | size (B) | syscalls | instructions | wall time vs floor | peak RSS (KiB) |"
	echo "|---|---|---:|---:|---:|---:|---:|"
}

# row TOOL LABEL ARGS...: one table row for build/bin/TOOL run with ARGS.
row() {
	local tool=$1 label=$2
	shift 2
	local b=$BIN/$tool
	echo "| $tool | $label | $(stat -c %s "$b") | $(count_syscalls "$b" "$@") |" \
		"$(count_instructions "$b" "$@") | $(wall_ratio "$b" "$@") | $(peak_rss "$b" "$@") |"
}
