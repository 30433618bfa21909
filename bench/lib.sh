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

# Wall time of a command over a baseline's, measured side by side: hyperfine runs the
# pair in 10 rounds of RUNS/10 runs each, swapping which goes first every round, so that
# load from elsewhere falls on both alike. Prints the ratio of the total times, the
# command's mean, and the ratio of the fastest runs. (Standard input is not fed here:
# give such tools a file.)
# compare_wall BASELINE-COMMAND-STRING ARGS...
compare_wall() {
	local base=$1 cmd i
	shift
	cmd=$(printf '%q ' "$@")
	for i in 0 1 2 3 4 5 6 7 8 9; do
		if [ $((i % 2)) = 0 ]; then set -- "$base" "$cmd"; else set -- "$cmd" "$base"; fi
		hyperfine -N --warmup 20 --runs $((RUNS / 10)) --output null \
			--export-json "$BENCH_WORK/h$i.json" -- "$1" "$2" >/dev/null 2>&1
		set -- "$base" "$cmd"
	done
	python3 - "$BENCH_WORK" "$base" <<'PY'
import glob, json, sys
tot, best = {}, {}
for f in glob.glob(sys.argv[1] + "/h[0-9].json"):
    for r in json.load(open(f))["results"]:
        k = "base" if r["command"] == sys.argv[2] else "cmd"
        tot.setdefault(k, []).extend(r["times"])
b, c = tot["base"], tot["cmd"]
print("%.2fx (%.0f us; fastest %.2fx)" % (sum(c) / sum(b), sum(c) / len(c) * 1e6, min(c) / min(b)))
PY
	rm -f "$BENCH_WORK"/h[0-9].json
}

wall_ratio() { compare_wall "$(floor_bin)" "$@"; }

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
