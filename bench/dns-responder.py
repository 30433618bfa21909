# The bench's resolver: answers every query with one A record, 127.0.0.1, from the
# address the query was sent to (as a real resolver would), so that it serves both a
# lookup sent to 127.0.0.1 and one sent to the compiled-in resolver address routed to
# loopback inside the namespace. Creates READY-FILE once it listens.
# dns-responder.py READY-FILE
import socket
import sys

IP_PKTINFO = 8
A_127 = bytes.fromhex("c00c000100010000003c00047f000001")  # pointer to the question, A, IN

s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
s.bind(("0.0.0.0", 53))
open(sys.argv[1], "w").close()
while True:
    q, anc, _, peer = s.recvmsg(512, 256)
    r = q[:2] + b"\x81\x80" + q[4:6] + b"\x00\x01\x00\x00\x00\x00" + q[12:] + A_127
    # Answer from the query's destination address (the last 4 of in_pktinfo's 12 bytes).
    s.sendmsg([r], [(l, t, bytes(4) + d[8:12] + bytes(4)) for l, t, d in anc], 0, peer)
