// One TCP connection per run; the response is neither parsed nor buffered beyond a
// single read, so memory stays fixed whatever its size.
#include "curl/http.hpp"
#include "common/out.hpp"
#include "curl/url.hpp"

constexpr size_t req_size = 2048;
constexpr size_t buf_size = 65536;

// The fixed parts of the request are 44 bytes; parse_url bounds the rest.
static_assert(44 + (path_size - 1) + (host_size - 1) <= req_size);

static char req[req_size];
static uint8_t buf[buf_size];

static char *put(char *d, const char *s)
{
	while (*s)
		*d++ = *s++;
	return d;
}

bool http_get(const char *path, const char *host, uint16_t port, const uint8_t ip[4])
{
	long fd = sys::socket(sys::af_inet, sys::sock_stream, 0);
	if (fd < 0)
		return false;
	uint8_t sa[16] = {sys::af_inet, 0, uint8_t(port >> 8), uint8_t(port), ip[0], ip[1], ip[2], ip[3]};
	long n = -1, sent = -1;
	if (sys::connect(int(fd), sa, sizeof sa) == 0) {
		char *end = put(req, "GET ");
		end = put(end, path);
		end = put(end, " HTTP/1.0\r\nHost: ");
		end = put(end, host);
		end = put(end, "\r\nConnection: close\r\n\r\n");
		sent = sys::write(int(fd), req, size_t(end - req));
		while ((n = sys::read(int(fd), buf, buf_size)) > 0)
			out_buf(1, buf, size_t(n));
	}
	sys::close(int(fd));
	// A reset that reaches us before the request is reported by the write, and the
	// reads that follow then see an ordinary end: it is a failure all the same.
	return n == 0 && sent >= 0;
}
