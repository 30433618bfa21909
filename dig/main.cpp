// dig: one DNS query over UDP, then every answer record of the requested type in a
// terse form. Status 0 when something was printed (or the banner), 1 when nothing was
// or the exchange failed, 2 for the usage line.
#include "common/confine.hpp"
#include "common/entry.hpp"
#include "common/out.hpp"
#include "dig/answers.hpp"
#include "dig/args.hpp"
#include "dns/dns.hpp"

alignas(1) static constexpr char usage_line[] =
	"usage: dig [+short] [A|NS|CNAME|MX|TXT|AAAA] name [@ns]\n";
static_assert(sizeof usage_line - 1 == 56);
alignas(1) static constexpr char banner[] =
	"kavro-dig 3.2 pure ASM x86_64 \xc2\xb7 A/NS/CNAME/MX/TXT/AAAA "
	"+short \xc2\xb7 NO children \xc2\xb7 QIRVA/NUVEK/TOKSAVIM\n";
static_assert(sizeof banner - 1 == 102);

int tool_main(int argc, char **argv)
{
	switch (classify(argc, argv)) {
	case plan::usage:
		out_text(2, usage_line);
		return 2;
	case plan::version:
		out_text(1, banner);
		return 0;
	case plan::lookup:
		break;
	}
	// A name that cannot be encoded as given (too long, bad labels) is never sent.
	size_t n = encode_qname(name);
	if (!n)
		return 1;
	size_t got = do_udp(ns_ip, build_query(n, qtype));
	if (!got)
		return 1;
	// The reply is held and the socket closed: the walk over it and the printing need
	// write and exit, which strict mode allows at no cost. Only an output that would
	// block needs the output path's short list, to wait with poll.
	lock<as_list(out_calls)>(may_wait(1));
	parse_answers(got, qtype);
	return hit ? 0 : 1;
}
