// The JSON scanner. Nesting is tracked with depth counters, never by calling deeper per
// level, so hostile nesting costs no stack: the one nested call is an array skip handing
// an object to the object skip. Every loop moves the cursor forward by at least one byte
// per turn or stops at the end of text, so every scan ends.
#include "jq/scanner.hpp"

const char *jend;

const char *pass_escape(const char *p)
{
	if (!at(++p))
		jend = p;
	return p + 1;
}

const char *skip_ws(const char *p)
{
	while (is_ws(at(p)))
		p++;
	return p;
}

// p is at the opening double quote. An unterminated string runs to the end of text.
static const char *skip_string(const char *p)
{
	for (p++;;) {
		char c = at(p);
		if (!c)
			return p;
		if (c == '\\') {
			p = pass_escape(p);
			continue;
		}
		p++;
		if (c == '"')
			return p;
	}
}

// Inside an object only braces nest; brackets are ordinary bytes there.
static const char *skip_object(const char *p)
{
	uint32_t depth = 1;
	for (p++;;) {
		char c = at(p);
		if (!c)
			return p;
		if (c == '"') {
			p = skip_string(p);
			continue;
		}
		p++;
		if (c == '{')
			depth++;
		else if (c == '}' && --depth == 0)
			return p;
	}
}

// Inside an array brackets nest and an object is skipped whole, so a stray "}" is an
// ordinary byte.
static const char *skip_array(const char *p)
{
	uint32_t depth = 1;
	for (p++;;) {
		char c = at(p);
		if (!c)
			return p;
		if (c == '"') {
			p = skip_string(p);
			continue;
		}
		if (c == '{') {
			p = skip_object(p);
			continue;
		}
		p++;
		if (c == '[')
			depth++;
		else if (c == ']' && --depth == 0)
			return p;
	}
}

// Tab and carriage return do not end a scalar: they become part of it.
static bool ends_scalar(char c)
{
	return !c || c == ',' || c == '}' || c == ']' || c == ' ' || c == '\n';
}

const char *skip_value(const char *p)
{
	p = skip_ws(p);
	switch (at(p)) {
	case '"':
		return skip_string(p);
	case '{':
		return skip_object(p);
	case '[':
		return skip_array(p);
	}
	while (!ends_scalar(at(p)))
		p++;
	return p;
}

bool streq(span a, span b)
{
	if (a.n != b.n)
		return false;
	for (size_t i = 0; i < a.n; i++)
		if (a.p[i] != b.p[i])
			return false;
	return true;
}

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
		for (char c; (c = at(p)) != '"'; p++)
			if (!c)
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
