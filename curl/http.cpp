// One TCP connection per run; the response is neither parsed nor buffered beyond a
// single read, so memory stays fixed whatever its size.
#include "curl/http.hpp"
#include "common/out.hpp"
#include "curl/url.hpp"

constexpr size_t req_size = 2048;
constexpr size_t buf_size = 65536;

// The request's fixed parts, around the path and the host; parse_url bounds those two,
// so a whole request always fits req.
alignas(1) static constexpr char req_get[] = "GET ";
alignas(1) static constexpr char req_host[] = " HTTP/1.0\r\nHost: ";
alignas(1) static constexpr char req_end[] = "\r\nConnection: close\r\n\r\n";
constexpr size_t req_fixed = sizeof req_get + sizeof req_host + sizeof req_end - 3;
static_assert(req_fixed + (path_size - 1) + (host_size - 1) <= req_size);

static char req[req_size];
static uint8_t buf[buf_size];

static char *put(char *d, const char *s)
{
	while (*s)
		*d++ = *s++;
	return d;
}

static size_t build_request(const char *path, const char *host)
{
	char *end = put(req, req_get);
	end = put(end, path);
	end = put(end, req_host);
	end = put(end, host);
	end = put(end, req_end);
	return size_t(end - req);
}

// Copies what the server sends to standard output; true when the server closed the
// connection in order. Once the output has failed nothing more is read: the rest
// could only be dropped.
static bool copy_response(int fd)
{
	long n;
	while ((n = sys::read(fd, buf, buf_size)) > 0) {
		out_buf(1, buf, size_t(n));
		if (out_failed)
			return false;
	}
	return n == 0;
}

// A reset that reaches us before the request is reported by the write, and the reads
// that follow then see an ordinary end: it is a failure all the same.
static bool exchange(int fd, const uint8_t *sa, size_t sa_len, const char *path, const char *host)
{
	if (sys::connect(fd, sa, sa_len) != 0)
		return false;
	bool sent = sys::write(fd, req, build_request(path, host)) >= 0;
	return copy_response(fd) && sent;
}

// With standard output or error closed at start the socket takes that number, and the
// response would go back to the server: such a socket is closed unconnected. (Taking
// descriptor 0 is harmless: nothing is ever written there.)
bool http_get(const char *path, const char *host, uint16_t port, const uint8_t ip[4])
{
	long r = sys::socket(sys::af_inet, sys::sock_stream, 0);
	if (r < 0)
		return false;
	int fd = int(r);
	uint8_t sa[16] = {sys::af_inet, 0, uint8_t(port >> 8), uint8_t(port), ip[0], ip[1], ip[2], ip[3]};
	bool ok = (fd < 1 || fd > 2) && exchange(fd, sa, sizeof sa, path, host);
	sys::close(fd);
	return ok;
}
