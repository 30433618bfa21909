// URL arguments (zero-separated, the last one counts) through copy_url and parse_url.
// Whatever is accepted must fit its buffer and carry nothing that could split the
// request. The parse may read url up to its zero byte and no further.
#include "curl/url.hpp"
#include "fuzz.hpp"

#include <cstdlib>
#include <cstring>
#include <string>

static void check_part(const char *s, size_t size)
{
	size_t n = strnlen(s, size);
	if (n == size)
		abort();
	for (size_t i = 0; i < n; i++)
		if (uint8_t(s[i]) <= ' ' || s[i] == 0x7f)
			abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	std::string args(reinterpret_cast<const char *>(data), size);
	const char *last = args.c_str();
	poison_past(url, url_size, url_size);
	for (size_t i = 0; i <= size; i++) {
		if (i == 0 || args[i - 1] == 0) {
			last = args.c_str() + i;
			copy_url(last);
		}
	}
	poison_past(url, url_size, strlen(url) + 1);
	if (parse_url() != url_result::ok)
		return 0;
	check_part(host, host_size);
	check_part(path, path_size);
	if (path[0] != '/' || strlen(last) >= url_size)
		abort();
	return 0;
}
