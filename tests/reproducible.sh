#!/bin/bash
# reproducible.sh SRC BIN TOOL...: builds the listed tools from two copies of the source
# in different folders and checks that each is byte-identical to the main build's. The
# second copy also checks the prefixed install layout. A cross build's copies use its
# toolchain file (KAVRO_TOOLCHAIN) and run under its emulator (KAVRO_EMULATOR). Runs
# inside tests/ns-run, since it starts pkill.
set -eu
src=$1 main_bin=$2
shift 2
tools=$(IFS=';'; echo "$*")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for copy in a/src deeper/other/place; do
	mkdir -p "$work/$copy"
	tar -C "$src" --exclude=./build --exclude='./build-*' --exclude=./.git -cf - . |
		tar -C "$work/$copy" -xf -
done
cross=(${KAVRO_TOOLCHAIN:+--toolchain "$KAVRO_TOOLCHAIN"})
cmake -S "$work/a/src" -B "$work/a/src/build" "${cross[@]}" -DBUILD_TESTING=OFF -DKAVRO_TOOLS="$tools" >/dev/null
cmake --build "$work/a/src/build" -j2 >/dev/null
cmake -S "$work/deeper/other/place" -B "$work/b-build" "${cross[@]}" -DBUILD_TESTING=OFF \
	-DKAVRO_TOOLS="$tools" -DKAVRO_INSTALL_PREFIXED=ON >/dev/null
cmake --build "$work/b-build" -j2 >/dev/null
fail=0
for t; do
	cmp "$main_bin/$t" "$work/a/src/build/bin/$t" || fail=1
	cmp "$main_bin/$t" "$work/b-build/bin/$t" || fail=1
done
cmake --install "$work/b-build" --prefix "$work/inst" >/dev/null
for t; do
	[ -x "$work/inst/bin/kavro-$t" ] || { echo "not installed: kavro-$t"; fail=1; }
done
case " $* " in *" echo "*)
	[ "$(timeout 10 ${KAVRO_EMULATOR:-} "$work/inst/bin/kavro-echo" same)" = same ] || { echo "prefixed echo broken"; fail=1; }
esac
ls "$work/inst/bin" "$work/inst/share/man/man1"
exit $fail
