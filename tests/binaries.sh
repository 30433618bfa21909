#!/bin/bash
# binaries.sh BIN UNSTRIPPED-DIR STRIPPED TOOL...: every listed tool is a static
# executable for the processor KAVRO_ARCH names (x86_64 when unset): no interpreter, no
# dynamic or TLS segment, no initialisers to run, and within its size budget in bytes.
# Fixed-width instructions make aarch64 code larger: its budgets are half as large again. The shipped files carry no section headers when the
# build strips them (STRIPPED=1), so the sections are read from the link output kept
# beside them, whose loaded segments must be the same.
set -u
bin=$1 full=$2 stripped=$3
shift 3
declare -A budget=([echo]=1024 [printf]=2048 [pkill]=2048 [dig]=4096 [curl]=4096 [jq]=4096)
case ${KAVRO_ARCH:-x86_64} in
x86_64) machine=X86-64 ;;
aarch64) machine=AArch64; for t in "${!budget[@]}"; do budget[$t]=$((budget[$t] * 3 / 2)); done ;;
*) echo "no budgets for ${KAVRO_ARCH}"; exit 1 ;;
esac
fail=0
[ $# -gt 0 ] || { echo "no tools listed"; exit 1; }
segments() { readelf -lW "$1" | sed -n '/^ *Type /,/^$/p'; }
for tool; do
	f=$bin/$tool u=$full/$tool
	[ -n "${budget[$tool]:-}" ] || { echo "$tool: no size budget"; fail=1; continue; }
	[ -e "$f" ] && [ -e "$u" ] || { echo "missing: $f or $u"; fail=1; continue; }
	hdr=$(readelf -h "$f")
	grep -q 'Type:.*EXEC' <<<"$hdr" && grep -q "Machine:.*$machine" <<<"$hdr" &&
		grep -q 'Class:.*ELF64' <<<"$hdr" || { echo "$tool: not an $machine executable"; fail=1; }
	grep -q -E '^ *(INTERP|DYNAMIC|TLS) ' <<<"$(segments "$f")" &&
		{ echo "$tool: has an interpreter, dynamic or TLS segment"; fail=1; }
	sections=$(readelf -SW "$u")
	grep -q ' \.text ' <<<"$sections" || { echo "$tool: no sections in $u"; fail=1; }
	grep -q -E 'init_array|fini_array|\.ctors|\.dtors|\.tdata|\.tbss' <<<"$sections" &&
		{ echo "$tool: has initialisers or TLS"; fail=1; }
	if [ "$stripped" = 1 ]; then
		grep -q 'Number of section headers: *0$' <<<"$hdr" || { echo "$tool: has section headers"; fail=1; }
		[ "$(segments "$f")" = "$(segments "$u")" ] || { echo "$tool: segments differ from $u"; fail=1; }
	fi
	size=$(stat -c %s "$f")
	[ "$size" -le "${budget[$tool]}" ] || { echo "$tool: $size bytes, budget ${budget[$tool]}"; fail=1; }
	echo "$tool $size/${budget[$tool]}"
done
exit $fail
