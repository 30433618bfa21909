#!/bin/bash
# man.sh PAGES TOOL...: every listed tool has a built page, and man renders each without
# a warning.
set -u
pages=$1
shift
fail=0
for tool; do
	page=$pages/$tool.1
	[ -f "$page" ] || { echo "missing: $page"; fail=1; continue; }
	warn=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
	[ -z "$warn" ] || { echo "$page: $warn"; fail=1; }
done
exit $fail
