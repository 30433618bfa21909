#!/bin/bash
# Builds the .deb, unpacks it into a temporary root and runs each tool from there.
# Runs inside tests/ns-run, since it starts pkill.
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/kavro_*_amd64.deb)
dpkg-deb --info "$deb" | grep -q 'Package: kavro'
dpkg -x "$deb" "$work/root"
bin=$work/root/usr/lib/kavro/bin
check() { # check EXPECTED-STDOUT STATUS TOOL ARGS...
	local want=$1 status=$2 tool=$3
	shift 3
	local got rc=0
	got=$(printf '{"a":[1,2]}' | timeout 10 "$bin/$tool" "$@") || rc=$?
	[ "$got" = "$want" ] && [ "$rc" = "$status" ] ||
		{ echo "$tool $*: got '$got' status $rc"; exit 1; }
}
banner() { [ ! -e "$bin/$1" ] || "$bin/$1" -V | grep -q "^kavro-$1 "; }
check 'a b' 0 echo a b
check '42-x' 0 printf '%d-%s' 42 x
[ ! -e "$bin/jq" ] || check '2' 0 jq '.a[1]'
banner dig
banner curl
banner pkill
for tool in "$bin"/*; do
	page=$work/root/usr/lib/kavro/share/man/man1/$(basename "$tool").1
	[ -f "$page" ] || { echo "no man page: $page"; exit 1; }
done
echo "package ok: $(basename "$deb")"
