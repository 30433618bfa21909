# dig: one A lookup answered by the bench's responder. The lookup must never leave the
# machine, so the whole row is measured inside a private network namespace.
"$KAVRO_SRC/tests/ns-run" bash -c '
	. "$KAVRO_SRC/bench/lib.sh"
	start_dns_responder
	trap "kill \$(jobs -p) 2>/dev/null" EXIT
	row dig "A lookup, fake resolver" A bench.test @127.0.0.1
	confine_row dig "A lookup, one answer, fake resolver" A bench.test @127.0.0.1
'
