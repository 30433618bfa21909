// Filter walk and output. Output is not buffered: a span goes out in one write, a raw
// string one write per byte, each followed by its own newline write.
#include "jq/filter.hpp"
#include "common/out.hpp"
#include "jq/scanner.hpp"

bool flg_r;

static constexpr char jnull[] = "null";
static constexpr char nl[] = "\n";
static void putnl() { out_text(1, nl); }

// The filter is a zero-terminated string of its own, so it is read directly.
static const char *skip_fws(const char *f)
{
	while (is_ws(*f))
		f++;
	return f;
}

static bool ends_key(char c) { return !c || c == '.' || c == '[' || c == ' ' || c == '\t'; }

// A bare key: every byte up to the zero, ".", "[", space or tab, which stays at the
// cursor. Line feeds, "]" and double quotes belong to the key.
static span parse_key(const char *&f)
{
	span key{f, 0};
	while (!ends_key(*f))
		f++;
	key.n = size_t(f - key.p);
	return key;
}

// A quoted key, f just past its opening double quote: bytes up to the next double quote
// (passed over) or the zero (not passed). No escapes: a backslash is an ordinary byte.
static span parse_str_key(const char *&f)
{
	span key{f, 0};
	while (*f && *f != '"')
		f++;
	key.n = size_t(f - key.p);
	if (*f)
		f++;
	return key;
}

// A string with -r: its characters, each backslash dropped and the byte after it written
// as it is. Anything else: its span exactly as in the input, in one write.
static void emit_value(const char *p)
{
	p = skip_ws(p);
	if (flg_r && at(p) == '"') {
		for (p++;;) {
			char c = at(stopped(p));
			if (!c || c == '"')
				break;
			if (c == '\\') {
				c = at(p + 1);
				p = pass_escape(p);
			} else {
				p++;
			}
			out_byte(c);
		}
	} else {
		const char *start = p;
		p = skip_value(p);
		if (char c = at(start); c != '"' && c != '{' && c != '[')
			stopped(p); // a scalar reaching the end of text may go on past it
		out_buf(1, start, size_t(p - start));
	}
	putnl();
}

// A miss ends the walk at once: the rest of the filter is never examined.
static void miss()
{
	out_text(1, jnull);
	putnl();
}

static filt_result walk(const char *p, const char *f)
{
	if (*f != '.')
		return filt_result::malformed;
	for (f++;;) {
		f = skip_fws(f);
		char c = *f;
		if (!c) {
			emit_value(p);
			return filt_result::done;
		}
		if (c == '.') {
			f++;
			continue;
		}
		if (c != '[') {
			if (!(p = obj_get_key(p, parse_key(f))))
				break;
			continue;
		}
		f = skip_fws(f + 1);
		if (*f == '"')
			p = obj_get_key(p, parse_str_key(++f));
		else
			p = arr_get(p, dec_u32(f)); // the index wraps at 32 bits; no digits is 0
		if (!p)
			break;
		f = skip_fws(f);
		if (*f != ']')
			return filt_result::malformed;
		f++;
	}
	miss();
	return filt_result::done;
}

filt_result apply_filt(const char *json, const char *json_end, const char *f)
{
	jend = json_end;
	jstop = nullptr;
	filt_result r = walk(skip_ws(json), f);
	return r == filt_result::done && jstop >= json_end ? filt_result::at_end : r;
}
