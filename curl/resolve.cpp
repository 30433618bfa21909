// Host resolution over the shared DNS module; only the walk over the answers is ours.
#include "curl/resolve.hpp"
#include "dns/dns.hpp"

uint8_t ip[4];

// The reply's ID, flags and RCODE are not looked at: the connected socket already
// takes only the resolver's datagrams, and any A record it sends is its answer.
bool first_a(size_t len)
{
	uint16_t count;
	size_t off = answer_start(len, count);
	if (!off)
		return false;
	record r;
	for (; count && next_record(len, off, r); count--) {
		if (r.type == type_a && r.rdlength == sizeof ip) {
			for (size_t i = 0; i < sizeof ip; i++)
				ip[i] = rpkt[r.rdata + i];
			return true;
		}
	}
	return false;
}

size_t ask_a(const char *name)
{
	size_t n = encode_qname(name);
	return n ? do_udp(ns_def, build_query(n, type_a)) : 0;
}
