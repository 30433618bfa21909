#!/bin/bash
# Every tool is a static x86-64 executable: no interpreter, no dynamic section, no
# initialisers to run, and within its size budget in bytes.
set -u
bin=$1 src=$2
fail=0
while read -r tool budget; do
	f=$bin/$tool
	[ -e "$src/$tool/CMakeLists.txt" ] || continue
	[ -e "$f" ] || { echo "missing: $f"; fail=1; continue; }
	hdr=$(readelf -h "$f")
	grep -q 'Type:.*EXEC' <<<"$hdr" && grep -q 'Machine:.*X86-64' <<<"$hdr" &&
		grep -q 'Class:.*ELF64' <<<"$hdr" || { echo "$tool: not an x86-64 executable"; fail=1; }
	readelf -l "$f" | grep -q INTERP && { echo "$tool: has a program interpreter"; fail=1; }
	readelf -d "$f" | grep -q 'Dynamic section' && { echo "$tool: has a dynamic section"; fail=1; }
	readelf -S "$f" | grep -q -E 'init_array|fini_array|\.tdata|\.tbss' &&
		{ echo "$tool: has initialisers or TLS"; fail=1; }
	size=$(stat -c %s "$f")
	[ "$size" -le "$budget" ] || { echo "$tool: $size bytes, budget $budget"; fail=1; }
	echo "$tool $size/$budget"
done <<'BUDGETS'
echo 1024
printf 2048
pkill 2048
dig 4096
curl 4096
jq 4096
BUDGETS
exit $fail
