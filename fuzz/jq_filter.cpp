// The jq filter walk and scanner over a (document, filter) pair. Input: one byte whose
// low bit is -r, then the filter up to the first zero byte (at most 511 bytes, as the
// tool holds it), then the document, held in a block of its exact size plus the zero
// after it so that any read beyond shows. Every string, object and gap between tokens
// in the document is also passed by the scanner, whose wide runs must end where a
// byte-at-a-time reading ends, and leave the same end of text.
#include "fuzz.hpp"
#include "jq/filter.hpp"
#include "jq/scanner.hpp"

#include <cstring>
#include <memory>

// Just past the string or object at p, read one byte at a time: a backslash in a string
// takes the byte after it along, and one taking the zero at the end of text (or inside
// it) moves that end there; braces outside strings nest; the end of text ends all.
static const char *plain_skip(const char *p, const char *&end)
{
	auto at = [&](const char *q) { return q < end ? *q : 0; };
	uint32_t depth = 0;
	for (char c = *p;; c = at(p)) {
		if (!c)
			return p;
		if (c == '"') {
			for (p++; (c = at(p)) && c != '"'; p++)
				if (c == '\\' && !at(++p))
					end = p;
			p += c == '"';
		} else {
			p++;
			depth += c == '{' ? 1 : c == '}' ? -1 : 0;
		}
		if (!depth)
			return p;
	}
}

// The first few dozen starts: each check reads on to the end of text.
static void check_wide_runs(const char *doc, const char *doc_end)
{
	int starts = 0;
	for (const char *p = doc; p < doc_end && starts < 40; p++) {
		jend = doc_end;
		if (is_ws(*p) && (p == doc || !is_ws(p[-1]))) {
			const char *want = p;
			while (want < doc_end && is_ws(*want))
				want++;
			if (skip_ws(p) != want)
				__builtin_trap();
		}
		if (*p != '"' && *p != '{')
			continue;
		starts++;
		const char *end = doc_end;
		const char *want = plain_skip(p, end);
		if (skip_value(p) != want || jend != end)
			__builtin_trap();
	}
}

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
	check_wide_runs(doc.get(), doc.get() + n);
	return 0;
}
