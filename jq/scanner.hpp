// The lenient JSON scanner: moves a cursor through the held text without building
// anything, and never reports an error. A lookup either lands on its target or misses.
#pragma once
#include <cstddef>
#include <cstdint>

// Bytes compared where they stand: member names in the text, keys in the filter. No
// copy means no length limit, so a long key still selects its member.
struct span {
	const char *p;
	size_t n;
};

// Where the text ends: the zero byte after it (or an earlier zero inside it, once a
// string escape has stepped over that one). No byte past it is ever read.
extern const char *jend;

// Where the last scan that gave up for want of text stopped: the zero byte it met (just
// past it when an escape took it). Set by skips that run into the end of text and by
// lookups that end there; the filter walk tells from it whether its answer reached the
// end of the held text.
extern const char *jstop;

// The byte at p, or 0 at and past the end of text. With the runs in scanner.cpp, the
// only places that read the text.
[[gnu::always_inline]] inline char at(const char *p) { return p < jend ? *p : 0; }

[[gnu::always_inline]] constexpr bool is_ws(char c)
{
	return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The cursor just past a backslash and the byte after it, whatever that byte is. When it
// is a zero, the cursor lands just past it and the text ends there for good (jend moves
// to that zero).
const char *pass_escape(const char *p);

const char *skip_ws(const char *p);

// p, after noting it in jstop when it stands at the end of text.
const char *stopped(const char *p);

// Just past the value that begins at the first byte that is not whitespace.
const char *skip_value(const char *p);

// The first byte (not whitespace) of the value of the first member named key, or
// nullptr for a miss.
const char *obj_get_key(const char *p, span key);

// The first byte (not whitespace) of element idx, or nullptr for a miss. Elements are
// counted by the commas at the array's own level.
const char *arr_get(const char *p, uint32_t idx);

bool streq(span a, span b);
