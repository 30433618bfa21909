// DNS messages (RFC 1035): queries with the fixed ID 0x4433 and RD set, one question,
// no EDNS; replies read only within the bytes actually received.
#include "dns/dns.hpp"
#include "common/sys.hpp"
#include "common/text.hpp"

uint8_t qwire[qwire_size];
uint8_t pkt[pkt_size];
uint8_t rpkt[rpkt_size];

// KAVRO_RESOLVER ("a.b.c.d") is turned into four octets at compile time, and a value
// that is not four dot-separated numbers of 1 to 3 digits up to 255 stops the build.
struct octets {
	bool ok;
	uint8_t b[4];
};

static consteval octets parse_resolver(const char *s)
{
	octets o{};
	for (int k = 0; k < 4; k++) {
		const char *digits = s;
		uint32_t v = dec_u32(s);
		if (s == digits || s - digits > 3 || v > 255)
			return o;
		o.b[k] = uint8_t(v);
		if (*s != (k < 3 ? '.' : '\0'))
			return o;
		s++;
	}
	o.ok = true;
	return o;
}

static constexpr octets resolver = parse_resolver(KAVRO_RESOLVER);
static_assert(resolver.ok, "KAVRO_RESOLVER must be a dotted IPv4 address such as 192.0.2.53");
const uint8_t ns_def[4] = {resolver.b[0], resolver.b[1], resolver.b[2], resolver.b[3]};

static constexpr uint16_t dns_port = 53;
static constexpr long wait_seconds = 5;
static constexpr int sends = 2;

size_t encode_qname(const char *name)
{
	size_t len = 0;
	while (len <= max_name_text && name[len])
		len++;
	if (len > max_name_text)
		return 0;
	size_t n = 0;
	// "" and "." are the root; a final dot ends the name and adds nothing.
	for (size_t i = len == 1 && name[0] == '.' ? 1 : 0; i < len; i++) {
		size_t start = i;
		while (i < len && name[i] != '.')
			i++;
		size_t label = i - start;
		if (label == 0 || label > max_label || n + label + 2 > max_wire)
			return 0;
		qwire[n++] = uint8_t(label);
		for (size_t k = start; k < i; k++)
			qwire[n++] = uint8_t(name[k]);
	}
	qwire[n++] = 0;
	return n;
}

size_t build_query(size_t n, uint16_t qtype)
{
	static constexpr uint8_t header[header_size] = {0x44, 0x33, 0x01, 0x00, 0x00, 0x01};
	for (size_t i = 0; i < header_size; i++)
		pkt[i] = header[i];
	uint8_t *q = pkt + header_size;
	for (size_t i = 0; i < n; i++)
		q[i] = qwire[i];
	q[n] = uint8_t(qtype >> 8);
	q[n + 1] = uint8_t(qtype);
	q[n + 2] = 0;
	q[n + 3] = class_in;
	return header_size + n + question_tail;
}

// Sends the query on the connected socket and waits for the reply, sending once more
// when the wait runs out. A timed receive fails with EINTR when the process is stopped
// and continued (job control), even without signal handlers; that is no answer yet, so
// the wait goes on. The received byte count, or the failing call's error.
static long send_and_wait(int fd, size_t qlen)
{
	long got = sys::eagain;
	for (int i = 0; i < sends && got == sys::eagain; i++) {
		long sent = sys::sendto(fd, pkt, qlen, 0, nullptr, 0);
		if (sent < 0)
			return sent;
		do
			got = sys::recvfrom(fd, rpkt, rpkt_size, 0, nullptr, nullptr);
		while (got == sys::eintr);
	}
	return got;
}

// Connecting the socket makes the kernel drop datagrams from anyone but the resolver's
// address and port, and makes an ICMP error fail the receive at once instead of
// looking like silence.
static long exchange(int fd, const uint8_t ip[4], size_t qlen)
{
	const sys::timeval timeout{wait_seconds, 0};
	long r = sys::connect(fd, {ip, dns_port});
	if (r < 0)
		return r;
	r = sys::setsockopt(fd, sys::sol_socket, sys::so_rcvtimeo, &timeout, sizeof timeout);
	if (r < 0)
		return r;
	return send_and_wait(fd, qlen);
}

size_t do_udp(const uint8_t ip[4], size_t qlen)
{
	long sock = sys::socket(sys::af_inet, sys::sock_dgram, 0);
	if (sock < 0)
		return 0;
	int fd = static_cast<int>(sock);
	long got = exchange(fd, ip, qlen);
	sys::close(fd);
	return got > 0 ? static_cast<size_t>(got) : 0;
}

bool get_u16(size_t len, size_t off, uint16_t &v)
{
	if (off + 2 > len)
		return false;
	v = uint16_t(rpkt[off] << 8 | rpkt[off + 1]);
	return true;
}

bool skip_name(size_t len, size_t &off)
{
	for (size_t i = off; i < len; i += 1 + rpkt[i]) {
		if (rpkt[i] == 0) {
			off = i + 1;
			return true;
		}
		if (rpkt[i] >= pointer_mark) {
			off = i + 2;
			return off <= len;
		}
	}
	return false;
}

size_t answer_start(size_t len, uint16_t &count)
{
	size_t off = header_size;
	if (len < off || !get_u16(len, ancount_at, count) || !skip_name(len, off) ||
	    off + question_tail > len)
		return 0;
	return off + question_tail;
}

bool next_record(size_t len, size_t &off, record &r)
{
	size_t at = off;
	if (!skip_name(len, at) || !get_u16(len, at, r.type) ||
	    !get_u16(len, at + rdlength_at, r.rdlength))
		return false;
	r.rdata = at + rr_fixed;
	if (r.rdata + r.rdlength > len)
		return false;
	off = r.rdata + r.rdlength;
	return true;
}
