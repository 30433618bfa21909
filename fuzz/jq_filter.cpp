// The jq filter walk and scanner over a (document, filter) pair. Input: one byte whose
// low bit is -r, then the filter up to the first zero byte (at most 511 bytes, as the
// tool holds it), then the document, held in a block of its exact size plus the zero
// after it so that any read beyond shows.
#include "fuzz.hpp"
#include "jq/filter.hpp"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	if (size == 0)
		return 0;
	flg_r = data[0] & 1;
	auto *text = reinterpret_cast<const char *>(data + 1);
	size_t left = size - 1, flen = strnlen(text, left);
	std::string filt(text, flen < 511 ? flen : 511);
	size_t skip = flen < left ? flen + 1 : left, n = left - skip;
	std::unique_ptr<char[]> doc(new char[n + 1]);
	memcpy(doc.get(), text + skip, n);
	doc[n] = 0;
	apply_filt(doc.get(), doc.get() + n, filt.c_str());
	return 0;
}
