// The dig answer walk and record printing over arbitrary replies of up to 2048 bytes,
// once for each of the six requested types. The part of rpkt past the received bytes
// is poisoned, so any read beyond them is reported even though it stays in the buffer.
#include "dig/answers.hpp"
#include "dns/dns.hpp"
#include "fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	static constexpr uint16_t types[] = {1, 2, 5, 15, 16, 28};
	size = load_poisoned(rpkt, rpkt_size, data, size);
	for (uint16_t t : types)
		parse_answers(size, t);
	return 0;
}
