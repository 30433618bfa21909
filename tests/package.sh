#!/bin/bash
# package.sh BUILD TOOL...: builds the .deb twice (the same bytes each time), unpacks it
# into a temporary root and checks it holds exactly the listed tools, each with its
# compressed page under the name it is installed as, and the licence; then runs each
# tool from there. Runs inside tests/ns-run, since it starts pkill.
set -eu
build=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
sleep 1.1
(cd "$build" && cpack -G DEB -B "$work/again" >/dev/null)
deb=$(ls "$work"/out/kavro*_amd64.deb)
cmp "$deb" "$work/again/$(basename "$deb")" || { echo "two packings differ"; exit 1; }
package=$(dpkg-deb --field "$deb" Package)
dpkg -x "$deb" "$work/root"
root=$work/root/usr
if grep -q '^KAVRO_INSTALL_PREFIXED:BOOL=ON' "$build/CMakeCache.txt"; then
	prefix=$(sed -n 's/^KAVRO_NAME_PREFIX:STRING=//p' "$build/CMakeCache.txt")
	bin=$root/bin man=$root/share/man/man1 want_package=kavro-prefixed other=kavro
else
	prefix='' bin=$root/lib/kavro/bin man=$root/lib/kavro/share/man/man1
	want_package=kavro other=kavro-prefixed
fi
[ "$package" = "$want_package" ] || { echo "package named '$package'"; exit 1; }
[ "$(dpkg-deb --field "$deb" Conflicts)" = "$other" ] || { echo "no conflict with $other"; exit 1; }
want=$(for t; do echo "$prefix$t"; done | sort)
got=$(ls "$bin")
[ "$got" = "$want" ] || { echo "tools packed:" $got "; listed:" $want; exit 1; }
for t; do
	title=$(zcat "$man/$prefix$t.1.gz" | sed -n 's/^\.TH "\([^"]*\)".*/\1/p')
	[ "$title" = "$prefix$t" ] || { echo "$prefix$t.1.gz: title '$title'"; exit 1; }
	zcat "$man/$prefix$t.1.gz" | grep -q "^$prefix$t - " || { echo "$prefix$t.1.gz: NAME"; exit 1; }
done
for f in share/doc/$package/copyright share/doc/$package/changelog.gz \
	share/doc/$package/README.md share/lintian/overrides/$package; do
	[ -f "$root/$f" ] || { echo "not packed: /usr/$f"; exit 1; }
done
check() { # check EXPECTED-STDOUT STATUS TOOL ARGS...
	local want=$1 status=$2 tool=$3
	shift 3
	local got rc=0
	got=$(printf '{"a":[1,2]}' | timeout 10 "$bin/$prefix$tool" "$@") || rc=$?
	[ "$got" = "$want" ] && [ "$rc" = "$status" ] ||
		{ echo "$tool $*: got '$got' status $rc"; exit 1; }
}
for tool; do
	case $tool in
	echo) check 'a b' 0 echo a b ;;
	printf) check '42-x' 0 printf '%d-%s' 42 x ;;
	jq) check '2' 0 jq '.a[1]' ;;
	*) timeout 10 "$bin/$prefix$tool" -V | grep -q "^kavro-$tool " || { echo "$tool: no banner"; exit 1; } ;;
	esac
done
echo "package ok: $(basename "$deb"):" $got
