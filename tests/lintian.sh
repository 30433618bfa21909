#!/bin/bash
# lintian.sh BUILD SRC TOOL...: packs the .deb of BUILD and of the other install layout
# (built from SRC in a temporary folder) and runs lintian, pedantic tags included, on
# both: any error or warning fails. Without lintian the test is skipped (77); with
# KAVRO_REQUIRE_ALL=1 (CI) it fails.
set -eu
build=$1 src=$2
shift 2
if ! command -v lintian >/dev/null; then
	echo "lintian is not installed"
	[ "${KAVRO_REQUIRE_ALL:-}" = 1 ] && exit 1
	exit 77
fi
tools=$(IFS=';'; echo "$*")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
other=ON
grep -q '^KAVRO_INSTALL_PREFIXED:BOOL=ON' "$build/CMakeCache.txt" && other=OFF
cmake -S "$src" -B "$work/other" -DBUILD_TESTING=OFF -DKAVRO_TOOLS="$tools" \
	-DKAVRO_INSTALL_PREFIXED=$other >/dev/null
cmake --build "$work/other" -j2 >/dev/null
fail=0
for b in "$build" "$work/other"; do
	(cd "$b" && cpack -G DEB -B "$work/out" >/dev/null)
	deb=$(ls "$work"/out/kavro*_amd64.deb)
	report=$(lintian -EvIL +pedantic "$deb" 2>&1) || fail=1
	echo "$report"
	grep -q '^[EW]: ' <<<"$report" && fail=1
	rm -rf "$work/out"
done
exit $fail
