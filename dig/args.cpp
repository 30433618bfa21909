// Argument classification. Every argument is one of: a "+" option, an "@" resolver, a
// type keyword (exact, case-sensitive) or the name; the last of each kind counts.
#include "dig/args.hpp"
#include "common/out.hpp"
#include "dns/dns.hpp"

uint16_t qtype;
uint8_t ns_ip[4];
const char *name;

struct keyword {
	char text[6];
	uint8_t type;
};

alignas(1) static constexpr keyword keywords[] = {
	{"A", type_a}, {"NS", type_ns}, {"CNAME", type_cname},
	{"MX", type_mx}, {"TXT", type_txt}, {"AAAA", type_aaaa},
};

bool try_type(const char *arg)
{
	for (const keyword &k : keywords) {
		if (str_eq(arg, k.text)) {
			qtype = k.type;
			return true;
		}
	}
	return false;
}

// Deliberately lax: digits accumulate modulo 2^32 and the octet keeps the low 8 bits;
// a byte that is neither a digit nor "." ends the octet and stays put, so every
// following octet is 0.
void parse_ipv4(const char *text)
{
	for (uint8_t &octet : ns_ip) {
		octet = uint8_t(dec_u32(text));
		if (*text == '.')
			text++;
	}
}

static void classify_one(const char *arg)
{
	// Every "+" option, "+short" among them, is accepted and changes nothing: the
	// output is terse either way.
	if (arg[0] == '+')
		return;
	if (arg[0] == '@') {
		parse_ipv4(arg + 1);
		return;
	}
	if (!try_type(arg))
		name = arg;
}

plan classify(int argc, char **argv)
{
	if (argc <= 0)
		return plan::usage;
	qtype = type_a;
	for (int i = 0; i < 4; i++)
		ns_ip[i] = ns_def[i];
	name = nullptr;
	for (int i = 0; i < argc; i++)
		classify_one(argv[i]);
	if (!name)
		return plan::usage;
	// Only the final name is tested, and before anything is sent.
	if (name[0] == '-' && (name[1] == 'v' || name[1] == 'V'))
		return plan::version;
	return plan::lookup;
}
