// URL splitting: "http://" host [":" digits] ["/" path], case-sensitive, no decoding.
#include "curl/url.hpp"
#include "common/text.hpp"

char url[url_size];
char host[host_size];
char path[path_size];
uint16_t port;        // set by every parse: an initial 80 would cost a page of .data
static bool url_long; // the argument did not fit url: parse_url refuses it
// The scheme is matched as "http" and then "://", so that "https:" is told apart.
constexpr size_t scheme_len = sizeof "http://" - 1;

void copy_url(const char *arg)
{
	url_long = arg[copy_str(url, arg, url_size)] != 0;
}

// CR and LF would inject headers; a space or any other control byte would split or
// corrupt the request line, so none of them may reach it.
static bool unsafe(char c)
{
	auto b = static_cast<uint8_t>(c);
	return b <= ' ' || b == 0x7f;
}

// Copies from s into dst up to the end of the URL or, for the host, up to "/" or ":";
// false when a byte is unsafe or the part does not fit dst with its zero.
static bool copy_part(char *dst, size_t size, const char *&s, bool is_host)
{
	size_t n = 0;
	for (; *s && !(is_host && (*s == '/' || *s == ':')); s++) {
		if (n == size - 1 || unsafe(*s))
			return false;
		dst[n++] = *s;
	}
	dst[n] = 0;
	return true;
}

url_result parse_url()
{
	const char *s = url;
	port = 80;
	if (!starts(s, "http"))
		return url_result::bad;
	if (starts(s + 4, "s:"))
		return url_result::https;
	if (url_long || !starts(s + 4, "://"))
		return url_result::bad;
	s += scheme_len;
	if (!copy_part(host, host_size, s, true))
		return url_result::bad;
	if (*s == ':') {
		// The digits wrap at 32 bits and only the low 16 are kept: no range check.
		port = uint16_t(dec_u32(++s));
		if (*s != '/')
			s = "";
	}
	if (!*s)
		s = "/";
	return copy_part(path, path_size, s, false) ? url_result::ok : url_result::bad;
}
