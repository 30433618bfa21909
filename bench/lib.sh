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

# Peak resident memory of one run, in KiB, through the libc-free spawner bench/rss.cpp.
peak_rss() {
	local r=$BENCH_WORK/rss
	if [ ! -x "$r" ]; then
		g++ -std=c++20 -Os -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector \
			-fno-pic -fno-asynchronous-unwind-tables -I "$KAVRO_SRC" -static -nostdlib \
			-nostartfiles -no-pie -s -o "$r" "$KAVRO_SRC/bench/rss.cpp" \
			"$KAVRO_SRC/common/start.cpp" "$KAVRO_SRC/common/mem.cpp"
	fi
	"$r" "$@" <"${BENCH_STDIN:-/dev/null}" 2>/dev/null | tail -1
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
