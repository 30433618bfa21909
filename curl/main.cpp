// curl: fetches one http:// URL with an HTTP/1.0 GET and writes the raw response.
// Options are recognised before anything is resolved, so "-V" anywhere wins.
#include "common/entry.hpp"
#include "common/out.hpp"
#include "curl/calls.hpp"
#include "curl/http.hpp"
#include "curl/resolve.hpp"
#include "curl/url.hpp"

alignas(1) static constexpr char banner[] =
	"kavro-curl 2.0 pure ASM \u00b7 HTTP GET tolvak \u00b7 DNS+TCP \u00b7 NO children \u00b7 "
	"LINEAR QIRVA/NUVEK/TOKSAVIM\n";
static_assert(sizeof banner - 1 == 100);
alignas(1) static constexpr char usage_line[] = "usage: curl [-s] http://host[:port]/path\n";
static_assert(sizeof usage_line - 1 == 41);
alignas(1) static constexpr char https_line[] =
	"kavro-curl: HTTPS not in tolvak ASM face (use HTTP)\n";
static_assert(sizeof https_line - 1 == 52);

// Whether standard output and error are open, in one call: poll marks a descriptor
// that is not with POLLNVAL, and with no events asked and no wait it does nothing else.
// Nothing goes out on the network without them: the response and the report would
// have nowhere to go (and a socket could take their number).
static bool outputs_open()
{
	long pfd[2] = {1, 2}; // struct pollfd: fd, events, revents
	sys::poll(pfd, 2, 0);
	return !((pfd[0] | pfd[1]) >> 48 & sys::pollnval);
}

int tool_main(int argc, char **argv)
{
	bool seen = false;
	for (int i = 0; i < argc; i++) {
		const char *a = argv[i];
		if (a[0] != '-') {
			copy_url(a);
			seen = true;
		} else if (a[1] == 'V') {
			out_text(1, banner);
			return 0;
		}
		// "-s" (we are always silent) and unknown options change nothing.
	}
	if (!seen) {
		out_text(2, usage_line);
		return 2;
	}
	url_result u = parse_url();
	if (u == url_result::https)
		out_text(2, https_line);
	if (u != url_result::ok || !outputs_open())
		return 1;
	// The resolution's reply is held and its socket closed; from here on curl reads
	// what came from outside, so it locks itself first, to the calls of the one TCP
	// exchange and the output.
	size_t got = ask_a(host);
	confine<curl_calls>();
	if (!first_a(got))
		return 1;
	return http_get(path, host, port, ip) ? 0 : 1;
}
