// pkill: sends one signal to every process whose command name is exactly NAME. The
// entry reads the arguments, then lists /proc and hands each batch to the record walk.
#include "common/entry.hpp"
#include "common/out.hpp"
#include "pkill/calls.hpp"
#include "pkill/walk.hpp"

alignas(1) static constexpr char usage_line[] =
	"usage: pkill [-9|-15] NAME  (protects tazu only \xC2\xB7 rest is yours)\n";
static_assert(sizeof usage_line - 1 == 66);
alignas(1) static constexpr char banner[] =
	"kavro-pkill 1.2 ASM \xC2\xB7 protect tazu only \xC2\xB7 QIRVA tolvak \xC2\xB7 NO children\n";
static_assert(sizeof banner - 1 == 72);

static constexpr size_t dent_size = 8192;
static uint8_t dent[dent_size];

// Lists /proc batch by batch, each batch walked before the next is read. The lock comes
// first: the names read from /proc are the outside input.
static int scan()
{
	confine<pkill_calls>();
	long fd = sys::open("/proc", sys::o_rdonly | sys::o_directory);
	if (fd < 0)
		return 2;
	long n;
	while ((n = sys::getdents64(static_cast<int>(fd), dent, dent_size)) > 0 &&
	       walk_batch(dent, static_cast<size_t>(n)))
		;
	sys::close(static_cast<int>(fd));
	if (n < 0)
		return 2;
	return hit ? 0 : 1;
}

// An option that asks for some other signal (-1, -0, -09, -HUP, -STOP, -SIGTERM...)
// ends the run: sending the default instead would end a process the caller meant only
// to reload, probe or pause.
static bool asks_signal(const char *a)
{
	return (a[1] >= '0' && a[1] <= '9') || (a[1] >= 'A' && a[1] <= 'Z');
}

// Options count only before NAME; everything after it is ignored. A NAME too long to
// hold can match no command name, so the run fails at once without a scan.
int tool_main(int argc, char **argv)
{
	selfp = static_cast<uint64_t>(sys::getpid());
	for (int i = 0; i < argc; i++) {
		const char *a = argv[i];
		if (a[0] != '-')
			return set_name(a) ? scan() : 1;
		if (a[1] == 'V') {
			out_text(1, banner);
			return 0;
		}
		if (str_eq(a, "-9"))
			sig = sig_kill;
		else if (str_eq(a, "-15"))
			sig = sig_term;
		else if (asks_signal(a))
			break;
	}
	out_text(2, usage_line);
	return 2;
}
