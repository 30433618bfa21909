// The A-record walk over arbitrary replies of 0 to 2048 bytes.
#include "curl/resolve.hpp"
#include "dns/dns.hpp"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	size = std::min(size, rpkt_size);
	std::copy_n(data, size, rpkt);
	first_a(size);
	return 0;
}
