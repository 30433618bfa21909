#!/bin/bash
# Every scdoc source has a built page, and man renders each without a warning.
set -u
pages=$1 docs=$2
fail=0
for src in "$docs"/*.1.scd; do
	page=$pages/$(basename "$src" .scd)
	[ -f "$page" ] || { echo "missing: $page"; fail=1; continue; }
	warn=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
	[ -z "$warn" ] || { echo "$page: $warn"; fail=1; }
done
exit $fail
