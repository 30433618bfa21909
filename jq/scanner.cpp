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

// Long runs are read 16 bytes at a time, compared with a byte in every lane at once
// (SSE2, which every x86-64 processor has), mostly as blocks of two such halves: a
// string's characters, and an object, where the quotes' running parity marks every byte
// inside a string at once, however many short strings a block holds; gaps between
// tokens go 16 at a time. Only whole blocks before the end of text are read that way;
// the last bytes go one at a time.
static constexpr ptrdiff_t lanes = 32;

// The one piece that differs by processor: one bit per byte of the 16 at h, set where
// the byte is one of set. x86-64 compares all 16 at once (SSE2, which every x86-64
// processor has); elsewhere two 64-bit words do it, with the same result bit for bit
// (KAVRO_PORTABLE_BLOCKS builds that version on x86-64 too, for the tests).
#if defined(__SSE2__) && !KAVRO_PORTABLE_BLOCKS
#include <emmintrin.h>

template <char... set> [[gnu::always_inline]] static inline uint32_t any_of16(const char *h)
{
	__m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h));
	return uint32_t(_mm_movemask_epi8((_mm_cmpeq_epi8(v, _mm_set1_epi8(set)) | ...)));
}
#else
// A word of eight bytes, the first in its low byte (the kit's processors are all
// little-endian); ones has 1 in every byte, lows 0x7f.
static constexpr uint64_t ones = 0x0101010101010101, lows = 0x7f7f7f7f7f7f7f7f;

// 0x80 in each byte of x that is zero, exactly: adding lows sets a byte's top bit when
// its low seven bits are not all zero, and no carry crosses into the next byte.
[[gnu::always_inline]] static constexpr uint64_t zero_bytes(uint64_t x)
{
	return ~(((x & lows) + lows) | x | lows);
}

// The top bit of each byte of m, gathered into bits 0 to 7 (the multiplier shifts
// byte i's bit to bit 56 + i, and no two products overlap or carry).
[[gnu::always_inline]] static constexpr uint32_t top_bits(uint64_t m)
{
	return uint32_t((m >> 7) * 0x0102040810204080 >> 56);
}

template <char... set> [[gnu::always_inline]] static inline uint32_t any_of8(const char *p)
{
	uint64_t w;
	__builtin_memcpy(&w, p, sizeof w);
	return top_bits((zero_bytes(w ^ ones * uint8_t(set)) | ...));
}

template <char... set> [[gnu::always_inline]] static inline uint32_t any_of16(const char *h)
{
	return any_of8<set...>(h) | any_of8<set...>(h + 8) << 8;
}
#endif

// The same for the 32 bytes at p.
template <char... set> [[gnu::always_inline]] static inline uint32_t any_of(const char *p)
{
	return any_of16<set...>(p) | any_of16<set...>(p + 16) << 16;
}

// Moves p to the first zero byte or byte of set, which are the bytes whose class has
// the stop bit.
template <char... set> static const char *run_to(const char *p, uint8_t stop)
{
	for (; jend - p >= lanes; p += lanes)
		if (uint32_t hit = any_of<0, set...>(p))
			return p + __builtin_ctz(hit);
	return pass_until(p, stop);
}

const char *pass_escape(const char *p)
{
	if (!at(++p))
		jend = p;
	return p + 1;
}

// Most gaps between tokens are a byte or two: only a longer one is worth a run of
// 16 bytes at a time.
const char *skip_ws(const char *p)
{
	for (int i = 0; i < 2; i++, p++)
		if (classes.of[static_cast<uint8_t>(at(p))] & stop_ws)
			return p;
	for (; jend - p >= 16; p += 16)
		if (uint32_t hit = any_of16<' ', '\t', '\n', '\r'>(p) ^ 0xffff)
			return p + __builtin_ctz(hit);
	return pass_until(p, stop_ws);
}

// p is just past the opening double quote. An unterminated string runs to the end of
// text.
static const char *pass_string(const char *p)
{
	for (;; p = pass_escape(p)) {
		p = run_to<'"', '\\'>(p, stop_str);
		char c = at(p);
		if (c != '\\')
			return c ? p + 1 : p;
	}
}

// p is at the opening double quote.
[[gnu::always_inline]] static inline const char *skip_string(const char *p)
{
	return pass_string(p + 1);
}

// Bit i set when an odd number of bits 0 to i of m are: with m the quotes that open or
// close strings, the bytes inside strings, each opening quote included.
[[gnu::always_inline]] static constexpr uint32_t inside_strings(uint32_t m)
{
	m ^= m << 1;
	m ^= m << 2;
	m ^= m << 4;
	m ^= m << 8;
	return m ^ m << 16;
}

// The bytes that the backslashes in m escape, taken from the lowest up: each escapes
// the byte after it (bit 32 for the first byte of the next block), which then escapes
// nothing itself.
[[gnu::always_inline]] static constexpr uint64_t escaped_by(uint32_t m)
{
	uint64_t esc = 0;
	for (uint64_t left = m; left; left &= ~(esc | esc >> 1))
		esc |= (left & -left) << 1;
	return esc;
}

// From p, outside any string, passes whole blocks in which none of stops stands outside
// a string, and stops at the first that does. The quotes that no backslash escapes open
// and close strings; that holds while every backslash stands inside a string, as in
// valid text. A block where one does not, or that holds a zero byte, or that would reach
// the end of text is left to the caller's byte runs, which then start outside a string
// at or before it.
template <char... stops> static const char *pass_blocks(const char *p)
{
	uint32_t in_str = 0; // all ones while a string goes on from the block before
	while (jend - p >= lanes) {
		uint32_t quotes = any_of<'"'>(p), odd = any_of<'\\', 0>(p);
		uint64_t esc = 0;
		if (odd) {
			if (any_of<0>(p))
				break;
			esc = escaped_by(odd);
			quotes &= ~uint32_t(esc);
		}
		uint32_t inside = inside_strings(quotes) ^ in_str;
		if (odd & ~inside)
			break;
		if (uint32_t hit = any_of<stops...>(p) & ~inside)
			return p + __builtin_ctz(hit);
		in_str = -(inside >> (lanes - 1));
		p += lanes;
		if (esc >> lanes)
			p = pass_escape(p - 1);
	}
	return in_str ? pass_string(p) : p;
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
		if (open == '{') // an array's elements are mostly short: byte runs between them
			p = pass_blocks<'{', '}'>(p);
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
