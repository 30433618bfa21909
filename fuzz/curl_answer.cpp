// The A-record walk over arbitrary replies of 0 to 2048 bytes, received into rpkt with
// the rest of it poisoned, so any read beyond the reply is reported.
#include "curl/resolve.hpp"
#include "dns/dns.hpp"
#include "fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	first_a(load_poisoned(rpkt, rpkt_size, data, size));
	return 0;
}
