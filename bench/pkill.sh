# pkill: one scan of a private PID namespace holding about a thousand processes, one of
# which matches; it ignores the signal, so every run of the benchmark finds it again.
# The label adds the system calls per examined process (open, read, close, and the one
# kill spread over all of them). A scan takes milliseconds, so fewer runs suffice.
tests/ns-run bash -c '
	. bench/lib.sh
	for i in $(seq 1000); do sleep 1000 & done
	start_victim kvbenchmatch
	strace -qq -o "$BENCH_WORK/pkill.trace" "$BIN/pkill" kvbenchmatch ||
		die "pkill found no victim"
	t=$BENCH_WORK/pkill.trace
	reads=$(grep -c "^read(" "$t")
	scan=$(grep -c -E "^(open|read|close|kill)\(" "$t")
	per=$(python3 -c "import sys; print(\"%.2f\" % ((int(sys.argv[1]) - 2) / int(sys.argv[2])))" "$scan" "$reads")
	RUNS=$((RUNS < 300 ? RUNS : 300)) row pkill "scan of $reads processes, one match ($per calls per process)" kvbenchmatch
'
