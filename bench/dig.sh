# dig: one A lookup answered by a fake resolver. The lookup must never leave the
# machine, so the whole row is measured inside a private network namespace, with the
# responder (a few lines of python3, bound to 127.0.0.1:53) running in that namespace.
dig_responder='
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 53))
open(sys.argv[1], "w").close()
answer = bytes.fromhex("c00c0001000100000e1000040a000001")  # A 10.0.0.1
while True:
    q, peer = s.recvfrom(512)
    s.sendto(q[:2] + b"\x81\x80" + q[4:6] + b"\x00\x01\x00\x00\x00\x00" + q[12:] + answer, peer)
'
"$KAVRO_SRC/tests/ns-run" bash -c '
	. "$KAVRO_SRC/bench/lib.sh"
	ready=$BENCH_WORK/dig-responder-ready
	rm -f "$ready"
	python3 -c "$1" "$ready" &
	responder=$!
	for _ in $(seq 200); do [ -e "$ready" ] && break; sleep 0.05; done
	row dig "A lookup, fake resolver" A bench.test @127.0.0.1
	kill "$responder"
' dig-bench "$dig_responder"
