# Measuring helpers for bench/run and its per-tool parts (bench/*.sh). Every part runs
# with errexit, also inside command substitutions: a measurement that fails stops the
# bench instead of leaving an empty cell, so each cell is taken into a variable first.
# BIN holds the tools; UBIN an unconfined build of them for valgrind; RUNS is the number
# of timed runs of each command, split into ROUNDS rounds.
set -euo pipefail
shopt -s inherit_errexit

: "${KAVRO_SRC:=$PWD}" "${BIN:=$KAVRO_SRC/build/bin}" "${UBIN:=$BIN}"
: "${RUNS:=2000}" "${ROUNDS:=10}"
: "${BENCH_WORK:=$(mktemp -d)}"

die() {
	echo "bench/run: $*" >&2
	exit 1
}

# need NAME VALUE: VALUE, or the bench stops naming what came out empty.
need() {
	[ -n "$2" ] || die "no result for $1"
	echo "$2"
}

# The floor: a static binary that only exits, so that ratios show our own cost.
floor_bin() {
	local f=$BENCH_WORK/floor
	if [ ! -x "$f" ]; then
		printf '.globl _start\n_start:\n\tmov $60, %%eax\n\txor %%edi, %%edi\n\tsyscall\n' >"$f.s"
		gcc -nostdlib -static -no-pie -s -Wl,-z,noseparate-code -Wl,--build-id=none -o "$f" "$f.s"
	fi
	echo "$f"
}

# trace_calls ARGS...: the names of the system calls of one run, one a line, execve not
# counted. The run's own status is checked by the caller.
trace_calls() {
	strace -f -qq -o "$BENCH_WORK/trace" "$@" <"${BENCH_STDIN:-/dev/null}" >/dev/null 2>&1 || true
	sed -E 's/^[0-9]+ +//; s/\(.*//' "$BENCH_WORK/trace" | grep -v -E '^(execve|\+\+\+|---)' || true
}

count_syscalls() { need "system calls of $*" "$(trace_calls "$@" | grep -c .)"; }

# Traces one run for the system-call table (the calls in order, or for long runs how
# often each was made) and prints their number, so that both tables show the same run.
# list_syscalls TOOL LABEL ARGS...
list_syscalls() {
	local tool=$1 label=$2 calls n
	shift 2
	calls=$(trace_calls "$@")
	n=$(need "system calls of $*" "$(grep -c . <<<"$calls")")
	if [ "$n" -le 32 ]; then
		calls=$(paste -sd ' ' <<<"$calls")
	else
		calls=$(sort <<<"$calls" | uniq -c | sort -rn | awk '{printf "%s%s %d", (NR > 1 ? ", " : ""), $2, $1}')
	fi
	echo "| $tool | $label | $n | $calls |" >>"$BENCH_WORK/calls.md"
	echo "$n"
}

# User-space instructions of one run (deterministic), of the unconfined build.
count_instructions() {
	local out
	out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" \
		<"${BENCH_STDIN:-/dev/null}" 2>&1 >/dev/null) || true
	need "instructions of $*" "$(sed -n 's/.*Collected : *//p' <<<"$out")"
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
	[ "$peak" -gt 0 ] || die "no resident set seen for $*"
	echo "$peak"
}

# Wall time of a command over a baseline's, side by side: hyperfine runs the pair in
# ROUNDS rounds of RUNS/ROUNDS runs each, swapping which goes first every round, so
# that load from elsewhere falls on both alike. Each round gives the ratio of the two
# median run times; prints two cells: the median ratio with the lowest and highest
# round's, and the command's median run time in microseconds. (Standard input is not
# fed here: give such tools a file.)
# compare_wall BASELINE-COMMAND-STRING ARGS...
compare_wall() {
	local base=$1 cmd i
	shift
	cmd=$(printf '%q ' "$@")
	rm -f "$BENCH_WORK"/h*.json
	for ((i = 0; i < ROUNDS; i++)); do
		if [ $((i % 2)) = 0 ]; then set -- "$base" "$cmd"; else set -- "$cmd" "$base"; fi
		hyperfine -N --warmup 20 --runs $((RUNS / ROUNDS)) --output null \
			--export-json "$BENCH_WORK/h$i.json" -- "$1" "$2" >"$BENCH_WORK/hyperfine.log" 2>&1 ||
			{ cat "$BENCH_WORK/hyperfine.log" >&2; die "hyperfine failed on: $*"; }
	done
	python3 - "$BENCH_WORK" "$base" <<'PY'
import glob, json, statistics, sys
ratios, cmd_times = [], []
for f in glob.glob(sys.argv[1] + "/h*.json"):
    med = {}
    for r in json.load(open(f))["results"]:
        k = "base" if r["command"] == sys.argv[2] else "cmd"
        med[k] = statistics.median(r["times"])
        if k == "cmd":
            cmd_times += r["times"]
    ratios.append(med["cmd"] / med["base"])
print("%.2fx (%.2f–%.2f) | %.0f" % (statistics.median(ratios), min(ratios), max(ratios),
                                    statistics.median(cmd_times) * 1e6))
PY
}

wall_ratio() { compare_wall "$(floor_bin)" "$@"; }

header() {
	echo "| tool | run | size (B) | syscalls | instructions ¹ | wall time vs floor: median (min–max) ² | median wall time (µs) | peak RSS (KiB) |"
	echo "|---|---|---:|---:|---:|---:|---:|---:|"
}

# check_run ARGS...: one run that must succeed, so that no row measures an error path.
check_run() {
	local status=0
	"$@" <"${BENCH_STDIN:-/dev/null}" >/dev/null 2>"$BENCH_WORK/run.err" || status=$?
	[ $status = 0 ] && return
	cat "$BENCH_WORK/run.err" >&2
	die "status $status: $*"
}

# row TOOL LABEL ARGS...: one table row for BIN/TOOL run with ARGS, and its line in
# the system-call table.
row() {
	local tool=$1 label=$2
	shift 2
	local b=$BIN/$tool size calls instr wall rss
	check_run "$b" "$@"
	size=$(stat -c %s "$b")
	calls=$(list_syscalls "$tool" "$label" "$b" "$@")
	instr=$(count_instructions "$UBIN/$tool" "$@")
	wall=$(wall_ratio "$b" "$@")
	rss=$(peak_rss "$b" "$@")
	echo "| $tool | $label | $size | $calls | $instr | $wall | $rss |"
}

# Starts the bench's DNS responder in the background (inside a namespace) and waits
# until it listens.
start_dns_responder() {
	local ready=$BENCH_WORK/dns-ready i
	rm -f "$ready"
	python3 "$KAVRO_SRC/bench/dns-responder.py" "$ready" &
	for ((i = 0; i < 200; i++)); do
		[ -e "$ready" ] && return 0
		sleep 0.05
	done
	die "the DNS responder did not start"
}

# confine_row TOOL LABEL ARGS...: BIN/TOOL against the same tool built without
# confinement (UBIN), side by side, as a line of the confinement table.
confine_row() {
	local tool=$1 label=$2 cells
	shift 2
	check_run "$BIN/$tool" "$@"
	cells=$(compare_wall "$(printf '%q ' "$UBIN/$tool" "$@")" "$BIN/$tool" "$@")
	echo "| $tool | $label | $cells |" >>"$BENCH_WORK/confine.md"
}

# start_victim NAME: a copy of sleep named NAME that ignores SIGTERM, left running in the
# background (inside a private PID namespace only) once /proc shows its name, so that every
# run of a pkill row finds it again.
start_victim() {
	cp /bin/sleep "$BENCH_WORK/$1"
	(trap "" TERM; exec "$BENCH_WORK/$1" 1000) &
	local pid=$! i
	for ((i = 0; i < 200; i++)); do
		[ "$(cat /proc/$pid/comm)" = "$1" ] && return
		sleep 0.05
	done
}
