// The JSON scanner. Nesting is tracked with depth counters, never by calling deeper per
// level, so hostile nesting costs no stack: the one nested call is an array skip handing
// an object to the object skip. Every loop moves the cursor forward by at least one byte
// per turn or stops at the end of text, so every scan ends.
#include "jq/scanner.hpp"
#include "common/text.hpp"

const char *jend;

// Byte classes: one bit per scan loop, set for the bytes that end that loop's run of
// ordinary bytes. The zero byte has every bit, which is what lets pass_until run
// without an end check.
enum : uint8_t {
	stop_str = 1, stop_obj = 2, stop_arr = 4, stop_scalar = 8, stop_name = 16, stop_ws = 32,
};

struct byte_classes {
	uint8_t of[256];
};

static constexpr void mark(byte_classes &t, const char *bytes, uint8_t bit)
{
	for (; *bytes; bytes++)
		t.of[static_cast<uint8_t>(*bytes)] |= bit;
}

static constexpr byte_classes make_classes()
{
	byte_classes t{};
	for (int c = 0; c < 256; c++)
		t.of[c] = is_ws(static_cast<char>(c)) ? 0 : stop_ws;
	t.of[0] = 0xff;
	mark(t, "\"\\", stop_str);
	mark(t, "\"{}", stop_obj);
	mark(t, "\"{[]", stop_arr);
	mark(t, ",}] \n", stop_scalar);
	mark(t, "\"", stop_name);
	return t;
}

static constexpr byte_classes classes = make_classes();

// Moves p to the first byte whose class has a stop bit. Only the start is checked
// against the end of text: from a position before it, the zero byte that stands at the
// end stops the loop, so no byte at or past it is passed or read beyond.
[[gnu::always_inline]] static inline const char *pass_until(const char *p, uint8_t stop)
{
	if (p < jend)
		while (!(classes.of[static_cast<uint8_t>(*p)] & stop))
			p++;
	return p;
}

const char *pass_escape(const char *p)
{
	if (!at(++p))
		jend = p;
	return p + 1;
}

const char *skip_ws(const char *p) { return pass_until(p, stop_ws); }

// p is at the opening double quote. An unterminated string runs to the end of text.
[[gnu::always_inline]] static inline const char *skip_string(const char *p)
{
	for (p++;; p = pass_escape(p)) {
		p = pass_until(p, stop_str);
		char c = at(p);
		if (c != '\\')
			return c ? p + 1 : p;
	}
}

// Passes a container from its opening byte. Only the container's own kind of bracket
// nests: inside an object brackets are ordinary bytes, and inside an array an object is
// passed whole, so a stray "}" there is ordinary too. That is the one nested call, so the
// stack never grows with the text. One copy per kind, so that each loop tests constants:
// a single loop for both kinds took 13% more instructions over a long list of objects.
template <char open> static const char *skip_nested(const char *p)
{
	constexpr uint8_t stop = open == '{' ? stop_obj : stop_arr;
	uint32_t depth = 1;
	for (p++;;) {
		p = pass_until(p, stop);
		char c = at(p);
		if (!c)
			return p;
		if (c == '"') {
			p = skip_string(p);
			continue;
		}
		if (c == '{' && open == '[') {
			p = skip_nested<'{'>(p);
			continue;
		}
		p++;
		if (c == open)
			depth++;
		else if (--depth == 0) // the run's one other stop byte: the closing one
			return p;
	}
}

// A scalar is whatever stands there; tab and carriage return do not end it.
const char *skip_value(const char *p)
{
	p = skip_ws(p);
	switch (at(p)) {
	case '"':
		return skip_string(p);
	case '{':
		return skip_nested<'{'>(p);
	case '[':
		return skip_nested<'['>(p);
	}
	return pass_until(p, stop_scalar);
}

bool streq(span a, span b) { return bytes_eq(a.p, a.n, b.p, b.n); }

// Names are taken as they stand, up to the first double quote: a backslash is an
// ordinary byte. Missing commas between members are tolerated.
const char *obj_get_key(const char *p, span key)
{
	p = skip_ws(p);
	if (at(p) != '{')
		return nullptr;
	for (p++;;) {
		p = skip_ws(p);
		if (at(p) != '"')
			return nullptr;
		span name{++p, 0};
		p = pass_until(p, stop_name);
		if (at(p) != '"')
			return nullptr;
		name.n = size_t(p - name.p);
		p = skip_ws(p + 1);
		if (at(p) != ':')
			return nullptr;
		p = skip_ws(p + 1);
		if (streq(name, key))
			return p;
		p = skip_ws(skip_value(p));
		if (at(p) == ',')
			p++;
	}
}

// The end of text or a "}" where another element would begin ends the search, so a
// truncated or unbalanced array never keeps it going.
const char *arr_get(const char *p, uint32_t idx)
{
	p = skip_ws(p);
	if (at(p) != '[')
		return nullptr;
	p++;
	for (uint32_t n = 0;;) {
		p = skip_ws(p);
		char c = at(p);
		if (c == ']')
			return nullptr;
		if (n == idx)
			return p;
		if (!c || c == '}')
			return nullptr;
		p = skip_ws(skip_value(p));
		if (at(p) == ',') {
			p++;
			n++;
		}
	}
}
