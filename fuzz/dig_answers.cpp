// The dig answer walk and record printing over arbitrary replies of up to 2048 bytes,
// once for each of the six requested types. The part of rpkt past the received bytes
// is poisoned, so any read beyond them is reported even though it stays in the buffer.
#include "dig/answers.hpp"
#include "dns/dns.hpp"
#include "fuzz.hpp"

#include <cstring>
#include <sanitizer/asan_interface.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	silence_stdout();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	static constexpr uint16_t types[] = {1, 2, 5, 15, 16, 28};
	if (size > rpkt_size)
		size = rpkt_size;
	if (size)
		memcpy(rpkt, data, size);
	ASAN_POISON_MEMORY_REGION(rpkt + size, rpkt_size - size);
	for (uint16_t t : types)
		parse_answers(size, t);
	ASAN_UNPOISON_MEMORY_REGION(rpkt + size, rpkt_size - size);
	return 0;
}
