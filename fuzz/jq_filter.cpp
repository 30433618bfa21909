// The jq filter walk and scanner over a (document, filter) pair. Input: one byte whose
// low bit is -r, then the filter up to the first zero byte (at most 511 bytes, as the
// tool holds it), then the document, held in a block of its exact size plus the zero
// after it so that any read beyond shows. The scanner's block walks and wide runs are
// also checked against a byte-at-a-time reading of the same rules (check_scanner).
#include "fuzz.hpp"
#include "jq/filter.hpp"
#include "jq/scanner.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

// The byte rules, one byte at a time, as the oracle of the scanner's block walks and
// wide runs: end is the end of text, moved by an escape that takes a zero.
struct plain {
	const char *end;

	char at(const char *q) const { return q < end ? *q : 0; }
	const char *ws(const char *p) const
	{
		while (is_ws(at(p)))
			p++;
		return p;
	}
	// p just past the opening quote.
	const char *string(const char *p)
	{
		char c;
		for (; (c = at(p)) && c != '"'; p++)
			if (c == '\\' && !at(++p))
				end = p;
		return p + (c == '"');
	}
	// Brackets of the kind open nest; inside an array an object is passed whole.
	const char *nested(const char *p, char open)
	{
		char close = open == '{' ? '}' : ']';
		for (uint32_t depth = 1; char c = at(++p);) {
			if (c == '"')
				p = string(p + 1) - 1;
			else if (c == '{' && open == '[')
				p = nested(p, '{') - 1;
			else if (c == open)
				depth++;
			else if (c == close && !--depth)
				return p + 1;
		}
		return p;
	}
	const char *value(const char *p)
	{
		p = ws(p);
		char c = at(p);
		if (c == '"')
			return string(p + 1);
		if (c == '{' || c == '[')
			return nested(p, c);
		while ((c = at(p)) && !strchr(",}] \n", c))
			p++;
		return p;
	}
	const char *member(const char *p, const std::string &key)
	{
		if (at(p = ws(p)) != '{')
			return nullptr;
		for (p++;;) {
			if (at(p = ws(p)) != '"')
				return nullptr;
			const char *name = ++p;
			while (at(p) && at(p) != '"')
				p++;
			if (!at(p))
				return nullptr;
			std::string n(name, p);
			if (at(p = ws(p + 1)) != ':')
				return nullptr;
			p = ws(p + 1);
			if (n == key)
				return p;
			p = ws(value(p));
			p += at(p) == ',';
		}
	}
	const char *element(const char *p, uint32_t idx)
	{
		if (at(p = ws(p)) != '[')
			return nullptr;
		p++;
		for (uint32_t n = 0;; ) {
			char c = at(p = ws(p));
			if (c == ']')
				return nullptr;
			if (n == idx)
				return p;
			if (!c || c == '}')
				return nullptr;
			p = ws(value(p));
			if (at(p) == ',') {
				p++;
				n++;
			}
		}
	}
};

// Every string, object and gap of the first few dozen in the document, and lookups from
// its first containers: of keys that stand in it as names (and the empty one) and of a
// few indexes, by the scanner and by the byte rules. Each check reads on to the end of
// text; any difference, in the place found or in the end of text, traps.
static void check_scanner(const char *doc, const char *doc_end)
{
	auto same = [&](const char *got, const char *want, const plain &byte) {
		if (got != want || jend != byte.end)
			__builtin_trap();
	};
	int starts = 0, containers = 0;
	for (const char *p = doc; p < doc_end && starts < 40; p++) {
		plain byte{doc_end};
		jend = doc_end;
		if (is_ws(*p) && (p == doc || !is_ws(p[-1])))
			same(skip_ws(p), byte.ws(p), byte);
		if (*p != '"' && *p != '{' && *p != '[')
			continue;
		starts++;
		jend = doc_end;
		same(skip_value(p), byte.value(p), byte);
		if (*p == '"' || containers++ >= 6)
			continue;
		std::vector<std::string> keys{""};
		for (const char *q = p; q < doc_end && keys.size() < 8; q++)
			if (*q == '"') {
				const char *e = std::find(q + 1, doc_end, '"');
				keys.emplace_back(q + 1, std::min(e, q + 81));
				q = e;
			}
		for (auto &key : keys) {
			jend = byte.end = doc_end;
			same(obj_get_key(p, {key.data(), key.size()}), byte.member(p, key), byte);
		}
		for (uint32_t idx : {0u, 1u, 2u, 5u, 13u, 40u, 130u, 4000u}) {
			jend = byte.end = doc_end;
			same(arr_get(p, idx), byte.element(p, idx), byte);
		}
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
	check_scanner(doc.get(), doc.get() + n);
	return 0;
}
