// jq: sorts the arguments into options, filter and input path, loads the whole input
// into one buffer, walks the filter over it and ends with the status. Nothing is ever
// written to standard error.
#include "common/entry.hpp"
#include "common/out.hpp"
#include "jq/calls.hpp"
#include "jq/filter.hpp"

static constexpr size_t filt_size = 512;
static constexpr size_t jbuf_size = 262144;
// Loading stops once this many bytes are held; a read never asks for the last byte,
// which keeps the zero that ends the text.
static constexpr size_t jbuf_full = 262140;

static char filt[filt_size];
static char jbuf[jbuf_size];

static constexpr char defilt[] = ".";
alignas(1) static constexpr char vmsg[] =
	"kavro-jq 2.0 pure ASM \xC2\xB7 LINEAR tolvak . .key .a.b -r \xC2\xB7 NO children "
	"\xC2\xB7 QIRVA/NUVEK/TOKSAVIM\n";
static constexpr size_t vlen = sizeof vmsg - 1;
static_assert(vlen == 93);

// A filter that does not fit is not cut, since a cut filter selects another value: it
// is left empty, and the walk refuses an empty filter like any other malformed one.
static void set_filt(const char *arg)
{
	if (arg[copy_str(filt, arg, filt_size)])
		filt[0] = 0;
}

// Reads the file at path, or standard input, into jbuf and stores a zero after the text.
// Gives the number of bytes held; 0 when nothing could be opened or read.
static size_t load_json(const char *path)
{
	int fd = 0;
	if (path) {
		long r = sys::open(path, sys::o_rdonly);
		if (r < 0)
			return 0;
		fd = static_cast<int>(r);
	}
	size_t held = 0;
	do {
		long n = sys::read(fd, jbuf + held, jbuf_size - 1 - held);
		if (n <= 0)
			break;
		held += static_cast<size_t>(n);
	} while (held < jbuf_full);
	if (path)
		sys::close(fd);
	jbuf[held] = 0;
	return held;
}

// Arguments starting with "." are always the filter; of the others, the first is the
// filter unless one came before, and the last later one is the input path. "-c" needs
// no case: like every other unknown option it changes nothing.
int tool_main(int argc, char **argv)
{
	confine(jq_calls);
	const char *path = nullptr;
	bool filt_given = false;
	set_filt(defilt);
	for (int i = 0; i < argc; i++) {
		const char *arg = argv[i];
		if (arg[0] == '-') {
			if (str_eq(arg, "-r"))
				flg_r = true;
			else if (arg[1] == 'V') {
				out_text(1, vmsg);
				return 0;
			}
		} else if (arg[0] == '.' || !filt_given) {
			set_filt(arg);
			filt_given = true;
		} else {
			path = arg;
		}
	}
	size_t held = load_json(path);
	if (!held)
		return 1;
	return apply_filt(jbuf, jbuf + held, filt) == filt_result::malformed ? 1 : 0;
}
