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
static constexpr size_t jbuf_full = jbuf_size - 4; // 3 bytes or less left: not worth a read

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

// The input: standard input, or the file opened in load_json.
static int in_fd;
// Where the byte read after a full buffer lands; nothing ever looks at it.
static char spare;

// A read that waits on an input that would block (a non-blocking pipe with nothing in
// it yet): that is "not yet", not the end. Only an end of input or an error ends it.
[[gnu::noinline]] static long read_in(void *buf, size_t n)
{
	long r;
	while ((r = sys::read(in_fd, buf, n)) == sys::eagain)
		fd_wait(in_fd, sys::pollin);
	return r;
}

// Reads the file at path, or standard input, into jbuf and stores a zero after the text.
// Gives the number of bytes held; 0 when nothing could be opened or read. An input that
// filled the buffer stays open: whether it held all of it is asked only if the answer
// depends on it.
static size_t load_json(const char *path)
{
	if (path) {
		long r = sys::open(path, sys::o_rdonly);
		if (r < 0)
			return 0;
		in_fd = static_cast<int>(r);
	}
	size_t held = 0;
	do {
		long n = read_in(jbuf + held, jbuf_size - 1 - held);
		if (n <= 0)
			break;
		held += static_cast<size_t>(n);
	} while (held < jbuf_full);
	jbuf[held] = 0;
	if (path && held < jbuf_full)
		sys::close(in_fd);
	return held;
}

// Arguments starting with "." are always the filter; of the others, the first is the
// filter unless one came before, and the last later one is the input path. "-c" needs
// no case: like every other unknown option it changes nothing.
int tool_main(int argc, char **argv)
{
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
	// The input is held (and a file closed, unless it filled the buffer): from here on
	// the walk over outside bytes needs write and exit, and after a full buffer one
	// more read. Strict mode allows exactly those at no cost; only where a write or that
	// read may meet a descriptor that would block does jq take its short list instead,
	// since strict mode has no poll to wait with.
	bool full = held >= jbuf_full;
	lock<jq_calls>(may_wait(1) || (full && may_wait(in_fd)));
	filt_result r = apply_filt(jbuf, jbuf + held, filt);
	if (r == filt_result::malformed)
		return 1;
	// An answer that ran into the end of a full buffer holds only if the input ended
	// there: any byte after it (or an error) means the answer was cut.
	return r == filt_result::at_end && full && read_in(&spare, 1) != 0;
}
