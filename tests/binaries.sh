#!/bin/bash
# binaries.sh BIN TOOL...: every listed tool is a static x86-64 executable: no
# interpreter, no dynamic section, no initialisers to run, and within its size budget
# in bytes.
set -u
bin=$1
shift
declare -A budget=([echo]=1024 [printf]=2048 [pkill]=2048 [dig]=4096 [curl]=4096 [jq]=4096)
fail=0
[ $# -gt 0 ] || { echo "no tools listed"; exit 1; }
for tool; do
	f=$bin/$tool
	[ -n "${budget[$tool]:-}" ] || { echo "$tool: no size budget"; fail=1; continue; }
	[ -e "$f" ] || { echo "missing: $f"; fail=1; continue; }
	hdr=$(readelf -h "$f")
	grep -q 'Type:.*EXEC' <<<"$hdr" && grep -q 'Machine:.*X86-64' <<<"$hdr" &&
		grep -q 'Class:.*ELF64' <<<"$hdr" || { echo "$tool: not an x86-64 executable"; fail=1; }
	readelf -l "$f" | grep -q INTERP && { echo "$tool: has a program interpreter"; fail=1; }
	readelf -d "$f" | grep -q 'Dynamic section' && { echo "$tool: has a dynamic section"; fail=1; }
	readelf -S "$f" | grep -q -E 'init_array|fini_array|\.tdata|\.tbss' &&
		{ echo "$tool: has initialisers or TLS"; fail=1; }
	size=$(stat -c %s "$f")
	[ "$size" -le "${budget[$tool]}" ] || { echo "$tool: $size bytes, budget ${budget[$tool]}"; fail=1; }
	echo "$tool $size/${budget[$tool]}"
done
exit $fail
