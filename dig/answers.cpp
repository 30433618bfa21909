// Answer walk and record printing. Every piece of a line is its own write (an A record
// is 8 writes, an AAAA record 24), as the output format documents. Reads stay inside
// the received bytes: the record readers of dns/ check fields and RDATA, and names in
// RDATA are checked here byte by byte, pointer targets included.
#include "dig/answers.hpp"
#include "common/out.hpp"
#include "dns/dns.hpp"

uint8_t hit;

static constexpr size_t nbuf_size = 256;
static constexpr size_t name_cut = 250;  // checked after label bytes only: 251 at most
static constexpr unsigned max_pointers = 31;
static constexpr size_t a_size = 4;
static constexpr size_t aaaa_size = 16;
static constexpr size_t pref_size = 2; // MX preference ahead of the exchange name
static constexpr size_t ipbuf_size = 64;
alignas(1) static constexpr char hexdig[] = "0123456789abcdef";

static uint8_t nbuf[nbuf_size];
static char ipbuf[ipbuf_size];

static void puint16(uint16_t v)
{
	size_t i = ipbuf_size;
	do {
		ipbuf[--i] = char('0' + v % 10);
		v /= 10;
	} while (v);
	out_buf(1, ipbuf + i, ipbuf_size - i);
}

static void puint8(uint8_t b) { puint16(b); }

static void phex2(uint8_t b)
{
	ipbuf[0] = hexdig[b >> 4];
	ipbuf[1] = hexdig[b & 15];
	out_buf(1, ipbuf, 2);
}

static void print_a(size_t p)
{
	for (size_t i = 0; i < a_size; i++) {
		puint8(rpkt[p + i]);
		out_byte(i < a_size - 1 ? '.' : '\n');
	}
}

static void print_aaaa(size_t p)
{
	for (size_t i = 0; i < aaaa_size; i++) {
		phex2(rpkt[p + i]);
		if (i % 2 && i < aaaa_size - 1)
			out_byte(':');
	}
	out_byte('\n');
}

// The strings run together; a length byte that claims more than RDATA still holds is
// clamped to what is left.
static void print_txt(size_t q, size_t r)
{
	out_byte('"');
	while (r) {
		size_t n = rpkt[q++];
		r--;
		if (n > r)
			n = r;
		if (n)
			out_buf(1, rpkt + q, n);
		q += n;
		r -= n;
	}
	out_byte('"');
	out_byte('\n');
}

// Gathers the name at p into nbuf (labels joined by ".", no final dot) and its length
// into k; false when a byte of it, or a pointer's target, lies at or past len. The
// name ends at its zero byte, at the 32nd pointer (never followed, so loops end), or
// once 250 bytes are gathered.
static bool decode_name(size_t len, size_t p, size_t &k)
{
	k = 0;
	for (unsigned ptrs = 0;;) {
		if (p >= len)
			return false;
		uint8_t b = rpkt[p];
		if (b == 0)
			return true;
		if (b >= pointer_mark) {
			if (++ptrs > max_pointers)
				return true;
			if (p + 1 >= len)
				return false;
			p = size_t(b & ~pointer_mark) << 8 | rpkt[p + 1];
			continue;
		}
		if (k)
			nbuf[k++] = '.';
		for (p++; b; b--, p++) {
			if (p >= len)
				return false;
			nbuf[k++] = rpkt[p];
			if (k >= name_cut)
				return true;
		}
	}
}

static void print_name(size_t k)
{
	if (k)
		out_buf(1, nbuf, k);
	out_byte('\n');
}

// Nothing of a record is written unless its name lies wholly inside the reply.
static bool decode_name_print(size_t len, size_t p)
{
	size_t k;
	if (!decode_name(len, p, k))
		return false;
	print_name(k);
	return true;
}

static bool print_mx(size_t len, const record &r)
{
	size_t k;
	uint16_t pref;
	if (!decode_name(len, r.rdata + pref_size, k) || !get_u16(len, r.rdata, pref))
		return false;
	puint16(pref);
	out_byte(' ');
	print_name(k);
	return true;
}

// Prints one record of the requested type when its RDLENGTH suits the type; false
// when a name in it runs past the reply, which ends the walk.
static bool print_record(size_t len, const record &r)
{
	switch (r.type) {
	case type_a:
		if (r.rdlength != a_size)
			return true;
		print_a(r.rdata);
		break;
	case type_aaaa:
		if (r.rdlength != aaaa_size)
			return true;
		print_aaaa(r.rdata);
		break;
	case type_txt:
		print_txt(r.rdata, r.rdlength);
		break;
	case type_mx:
		if (r.rdlength < pref_size + 1)
			return true;
		if (!print_mx(len, r))
			return false;
		break;
	case type_ns:
	case type_cname:
		if (!decode_name_print(len, r.rdata))
			return false;
		break;
	default:
		return true;
	}
	hit = 1;
	return true;
}

void parse_answers(size_t len, uint16_t qtype)
{
	uint16_t count;
	size_t off = answer_start(len, count);
	if (!off)
		return;
	for (; count; count--) {
		record r;
		if (!next_record(len, off, r))
			return;
		if (r.type == qtype && !print_record(len, r))
			return;
	}
}
