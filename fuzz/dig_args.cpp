// The dig argument classification, parse_ipv4 and encode_qname over arbitrary argument
// lists (zero-separated). A name that is encoded must come back unchanged from its
// wire form: the query never asks for another name than the one given.
#include "dig/args.hpp"
#include "dns/dns.hpp"
#include "fuzz.hpp"

#include <cstdlib>
#include <string>

// The name the wire form in qwire stands for, labels joined by ".".
static std::string unwire(size_t n)
{
	std::string s;
	for (size_t i = 0; qwire[i]; i += 1 + qwire[i]) {
		if (qwire[i] > max_label || i + 1 + qwire[i] >= n)
			abort();
		s += (s.empty() ? "" : ".") + std::string(reinterpret_cast<char *>(qwire) + i + 1, qwire[i]);
	}
	return s;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	auto args = split_args(data, size);
	auto ptrs = arg_pointers(args);
	for (auto &a : args)
		if (a[0] == '@')
			parse_ipv4(a.c_str() + 1);
	if (classify(int(args.size()), ptrs.data()) != plan::lookup)
		return 0;
	if (name[0] == '+' || name[0] == '@' || try_type(name))
		abort();
	size_t n = encode_qname(name);
	if (!n)
		return 0;
	std::string given = name;
	if (!given.empty() && given.back() == '.')
		given.pop_back();
	if (n > max_wire || unwire(n) != given || build_query(n, qtype) != n + 16)
		abort();
	return 0;
}
