#!/bin/bash
# image.sh README BIN TOOL...: assembles the initramfs archive as the README's recipe
# does, and checks that cpio lists exactly the files the README shows (those of the
# listed tools) and that they unpack to the built tools, byte for byte.
set -eu
readme=$1 bin=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/rootfs/bin"
for t; do cp "$bin/$t" "$work/rootfs/bin/"; done
(cd "$work/rootfs" && find . | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet | gzip -9n) \
	>"$work/kavro.cpio.gz"
got=$(zcat "$work/kavro.cpio.gz" | cpio -it --quiet)
# The README's listing: the lines after its "cpio -it" command, up to the block's end.
want=$(sed -n '/^\$ zcat build\/kavro.cpio.gz | cpio -it --quiet$/,/^```/p' "$readme" | sed '1d;$d' |
	while read -r f; do
		case $f in bin/*) [[ " $* " == *" ${f#bin/} "* ]] || continue ;; esac
		echo "$f"
	done)
[ -n "$want" ] || { echo "no listing found in $readme"; exit 1; }
[ "$got" = "$want" ] || { printf 'archive lists:\n%s\nREADME shows:\n%s\n' "$got" "$want"; exit 1; }
mkdir "$work/unpacked"
(cd "$work/unpacked" && zcat "$work/kavro.cpio.gz" | cpio -id --quiet)
for t; do cmp "$bin/$t" "$work/unpacked/bin/$t"; done
echo "$got"
