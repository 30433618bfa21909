// Format interpreter and number rendering. Output is never buffered: each plain byte,
// escape, string and number goes out in its own write, as scripts may rely on.
#include "printf/format.hpp"
#include "common/out.hpp"

// Numbers are rendered backwards from the end; the longest rendering (22 octal digits
// and the zero) fits with room to spare.
static constexpr size_t numbuf_size = 64;
static char numbuf[numbuf_size];
alignas(1) static constexpr char hexlo[] = "0123456789abcdef";
alignas(1) static constexpr char hexup[] = "0123456789ABCDEF";

static char **arg_list;
static int arg_count;
static int arg_index;

static const char *next_arg()
{
	if (arg_index >= arg_count)
		return nullptr;
	return arg_list[arg_index++];
}

uint64_t arg_to_num(const char *arg)
{
	if (!arg)
		return 0;
	bool neg = *arg == '-';
	if (neg)
		arg++;
	uint64_t wide = dec_u32(arg);
	return neg ? 0 - wide : wide;
}

static void puts(const char *s) { out_str(1, s); }

static void p_base(uint64_t v, unsigned base, const char *digits)
{
	size_t i = numbuf_size - 1;
	numbuf[i] = 0;
	do {
		numbuf[--i] = digits[v % base];
		v /= base;
	} while (v);
	puts(numbuf + i);
}

static void p_uint(uint64_t v) { p_base(v, 10, hexlo); }
static void p_hex(uint64_t v, bool upper) { p_base(v, 16, upper ? hexup : hexlo); }
static void p_oct(uint64_t v) { p_base(v, 8, hexlo); }

static void p_int(uint64_t v)
{
	if (static_cast<int64_t>(v) < 0) {
		out_byte('-');
		v = 0 - v;
	}
	p_uint(v);
}

static void conversion(char c)
{
	const char *a;
	switch (c) {
	case '%':
		out_byte('%');
		return;
	case 's':
		if ((a = next_arg()))
			puts(a);
		return;
	case 'c':
		if ((a = next_arg()))
			out_byte(*a);
		return;
	case 'd':
	case 'i':
		p_int(arg_to_num(next_arg()));
		return;
	case 'u':
		p_uint(arg_to_num(next_arg()));
		return;
	case 'x':
	case 'X':
		p_hex(arg_to_num(next_arg()), c == 'X');
		return;
	case 'o':
		p_oct(arg_to_num(next_arg()));
		return;
	default:
		out_byte('%');
		out_byte(c);
	}
}

static char escape(char c)
{
	if (c == 'n')
		return '\n';
	if (c == 't')
		return '\t';
	return c;
}

void format_walk(const char *fmt, int nargs, char **args)
{
	arg_list = args;
	arg_count = nargs;
	arg_index = 0;
	for (; *fmt; fmt++) {
		char c = *fmt;
		if (c != '\\' && c != '%') {
			out_byte(c);
			continue;
		}
		if (!*++fmt)
			return;
		if (c == '\\')
			out_byte(escape(*fmt));
		else
			conversion(*fmt);
	}
}
