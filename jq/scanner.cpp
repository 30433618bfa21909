// The JSON scanner. Nesting is tracked with depth counters, never by calling deeper per
// level, so hostile nesting costs no stack: the one nested call is an array skip handing
// an object to the object skip. Every loop moves the cursor forward by at least one byte
// per turn or stops at the end of text, so every scan ends.
#include "jq/scanner.hpp"
#include "common/text.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

const char *jend;
const char *jstop;

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

// Where a scan gave up for want of text: p when it stands at the end of text (the zero
// there, or past it after an escape took it), so that the filter walk can tell an
// answer that reached the end of what was held. Strings and containers note it where
// they end unclosed; a scalar, which only ends at its next byte, is noted by the walk.
const char *stopped(const char *p)
{
	if (!at(p))
		jstop = p;
	return p;
}

// A lookup that found nothing at p.
static const char *missed(const char *p)
{
	stopped(p);
	return nullptr;
}

// Long runs are read 16 bytes at a time, compared with a byte in every lane at once
// (SSE2, which every x86-64 processor has), mostly as blocks of two such vectors: a
// string's characters, and an object, where the quotes' running parity marks every byte
// inside a string at once, however many short strings a block holds; gaps between
// tokens go 16 at a time. Only whole blocks before the end of text are read that way;
// the last bytes go one at a time. A mask has one bit per byte, bit i for byte i.
static constexpr ptrdiff_t vec_size = 16, block_size = 32;
static constexpr uint32_t vec_all = 0xffff; // the mask of a vector whose every byte matched

// One bit per byte of the 16 at h, set where the byte is one of set: the one place
// that depends on the processor. x86-64 compares all 16 at once; elsewhere two 64-bit
// words do it, with the same result bit for bit (KAVRO_PORTABLE_BLOCKS builds that
// version on x86-64 too, for the tests).
#if defined(__SSE2__) && !KAVRO_PORTABLE_BLOCKS
template <char... set> [[gnu::always_inline]] static inline uint32_t any_of16(const char *h)
{
	using vec16 = __m128i;
	vec16 v = _mm_loadu_si128(reinterpret_cast<const vec16 *>(h));
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
	return any_of16<set...>(p) | any_of16<set...>(p + vec_size) << vec_size;
}

// Moves p to the first zero byte or byte of set, which are the bytes whose class has
// the stop bit.
template <char... set> static const char *run_to(const char *p, uint8_t stop)
{
	for (; jend - p >= block_size; p += block_size)
		if (uint32_t hit = any_of<0, set...>(p))
			return p + __builtin_ctz(hit);
	return pass_until(p, stop);
}

// An escape that takes a zero byte (the one ending the text, or one inside it) ends
// the text right there for good: the cursor lands past that zero, so every later read,
// which would otherwise see the bytes after it, must be answered as at the end. Found
// here rather than once at loading, which would read every byte of the text first.
static void end_text_at(const char *zero) { jend = zero; }

const char *pass_escape(const char *p)
{
	if (!at(++p))
		end_text_at(p);
	return p + 1;
}

// Most gaps between tokens are a byte or two: only a longer one is worth a run of
// 16 bytes at a time.
const char *skip_ws(const char *p)
{
	for (int i = 0; i < 2; i++, p++)
		if (classes.of[static_cast<uint8_t>(at(p))] & stop_ws)
			return p;
	for (; jend - p >= vec_size; p += vec_size)
		if (uint32_t hit = any_of16<' ', '\t', '\n', '\r'>(p) ^ vec_all)
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
			return c ? p + 1 : stopped(p);
	}
}

// p is at the opening double quote.
[[gnu::always_inline]] static inline const char *skip_string(const char *p)
{
	return pass_string(p + 1);
}

// Bit i set when an odd number of bits 0 to i of m are (a prefix XOR): with m the
// quotes that open or close strings, the bytes inside strings, each opening quote
// included.
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
// nothing itself. (left & -left is left's lowest set bit.)
[[gnu::always_inline]] static constexpr uint64_t escaped_by(uint32_t m)
{
	uint64_t esc = 0;
	for (uint64_t left = m; left; left &= ~(esc | esc >> 1))
		esc |= (left & -left) << 1;
	return esc;
}

// All ones when the block's last byte is inside a string (its mask's top bit), else 0:
// a string running on into the next block.
[[gnu::always_inline]] static constexpr uint32_t runs_on(uint32_t inside)
{
	return -(inside >> (block_size - 1));
}

// From p, outside any string, passes whole blocks in which none of stops stands outside
// a string, and stops at the first that does. The quotes that no backslash escapes open
// and close strings; that holds while every backslash stands inside a string, as in
// valid text. A block where one does not, or that holds a zero byte, or that would reach
// the end of text is left to the caller's byte runs, which then start outside a string
// at or before it.
//
// A block of an object with its masks, bit i under byte i ("1" set, "." clear), the
// string "ab\"c" running on from the block before (in_str all ones):
//
//   text        ab\"c","k":{"x":"}"},"e\\":1234}
//   quotes      ...1.1.1.1..1.1.1.1..1...1......   any_of<'"'>
//   bs_or_zero  ..1....................11.......   any_of<'\\', 0> (no zero here)
//   escaped     ...1....................1.......   escaped_by(bs_or_zero)
//   real quotes .....1.1.1..1.1.1.1..1...1......   quotes & ~escaped: they open and close
//   inside      11111..11...11..11...1111.......   inside_strings(real quotes) ^ in_str
//   braces      ...........1.....1.1...........1   any_of<'{', '}'>
//   hit         ...........1.......1...........1   braces & ~inside
//
// The first hit, byte 11, is where the caller's byte rules go on; "}" inside the string
// at byte 17 is no hit, and the escaped quote at byte 3 opens nothing.
template <char... stops> static const char *pass_blocks(const char *p)
{
	uint32_t in_str = 0; // all ones while a string goes on from the block before
	while (jend - p >= block_size) {
		uint32_t quotes = any_of<'"'>(p), bs_or_zero = any_of<'\\', 0>(p);
		uint64_t esc = 0;
		if (bs_or_zero) {
			if (any_of<0>(p))
				break;
			esc = escaped_by(bs_or_zero);
			quotes &= ~uint32_t(esc);
		}
		uint32_t inside = inside_strings(quotes) ^ in_str;
		if (bs_or_zero & ~inside)
			break;
		if (uint32_t hit = any_of<stops...>(p) & ~inside)
			return p + __builtin_ctz(hit);
		in_str = runs_on(inside);
		p += block_size;
		if (esc >> block_size)
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
			return stopped(p);
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
		return missed(p);
	for (p++;;) {
		p = skip_ws(p);
		if (at(p) != '"')
			return missed(p);
		span name{++p, 0};
		p = pass_until(p, stop_name);
		if (at(p) != '"')
			return missed(p);
		name.n = size_t(p - name.p);
		p = skip_ws(p + 1);
		if (at(p) != ':')
			return missed(p);
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
		return missed(p);
	p++;
	for (uint32_t n = 0;;) {
		p = skip_ws(p);
		char c = at(p);
		if (c == ']')
			return missed(p);
		if (n == idx)
			return p;
		if (!c || c == '}')
			return missed(p);
		p = skip_ws(skip_value(p));
		if (at(p) == ',') {
			p++;
			n++;
		}
	}
}
