// The record walk: every all-digit /proc entry is examined the moment it is listed, so
// nothing is gathered and processes are signalled in listing order. The system is
// reached only through read_comm and send_signal, so this file builds hosted as well.
#include "pkill/walk.hpp"
#include "common/text.hpp"

// A linux_dirent64 record holds its length as a little-endian 16-bit number at offset
// 16 and its zero-terminated name from offset 19; the other fields are of no use here.
static constexpr size_t reclen_at = 16;
static constexpr size_t dname_at = 19;
static constexpr char proc_prefix[] = "/proc/";
static constexpr char comm_suffix[] = "/comm";
static constexpr size_t prefix_len = sizeof proc_prefix - 1;
static constexpr size_t suffix_size = sizeof comm_suffix;
static constexpr char protected_name[] = "tazu";
// kill reads only the low 32 bits of a process ID, so a larger number in a listing
// would address some other process, or all of them (-1); such entries are never
// signalled. Larger values saturate here instead of wrapping.
static constexpr uint64_t pid_max = 0x7fffffff;
static constexpr uint64_t no_pid = ~uint64_t(0);

int sig = sig_term;
uint8_t hit;
uint64_t selfp;
char path[path_size];
char comm[comm_size];
static char name[name_size];
static size_t name_len;

// The batch being walked. at() is the one place its bytes are read: past the bytes
// getdents64 returned it answers -1, so no record can lead the walk outside them.
static const uint8_t *bat;
static size_t bat_len;

static int at(size_t i) { return i < bat_len ? bat[i] : -1; }

bool set_name(const char *arg)
{
	name_len = copy_str(name, arg, name_size);
	return !arg[name_len];
}

// Builds "/proc/NAME/comm" in path from the entry name lying in the record bytes
// [from, end) and returns the process ID the name stands for. Entries that are no
// process answer no_pid: an empty name, a byte other than a digit, no zero byte inside
// the record, or more digits than path has room for.
static uint64_t entry_pid(size_t from, size_t end)
{
	for (size_t k = 0; k < prefix_len; k++)
		path[k] = proc_prefix[k];
	uint64_t pid = 0;
	size_t p = prefix_len;
	for (size_t i = from; i < end; i++) {
		int c = at(i);
		if (c == 0 && p > prefix_len) {
			for (size_t k = 0; k < suffix_size; k++)
				path[p + k] = comm_suffix[k];
			return pid;
		}
		if (c < '0' || c > '9' || p + suffix_size >= path_size)
			return no_pid;
		path[p++] = static_cast<char>(c);
		if (pid <= pid_max)
			pid = pid * 10 + static_cast<uint64_t>(c - '0');
	}
	return no_pid;
}

// One candidate: its command name (one trailing newline removed) must equal NAME, and
// it must be neither protected, nor process 0 or 1, nor ourselves. Only a delivered
// signal counts as a hit, so a run that could signal nobody reports failure.
static void examine(uint64_t pid)
{
	long got = read_comm(path, comm, comm_read_max);
	if (got < 1)
		return;
	size_t len = static_cast<size_t>(got);
	if (comm[len - 1] == '\n')
		len--;
	if (!bytes_eq(comm, len, name, name_len))
		return;
	if (bytes_eq(comm, len, protected_name, sizeof protected_name - 1))
		return;
	if (pid < 2 || pid > pid_max || pid == selfp)
		return;
	if (send_signal(pid, sig))
		hit = 1;
}

bool walk_batch(const uint8_t *batch, size_t n)
{
	bat = batch;
	bat_len = n;
	for (size_t off = 0; off < n;) {
		int lo = at(off + reclen_at);
		int hi = at(off + reclen_at + 1);
		if (hi < 0)
			return true;
		size_t len = static_cast<size_t>(lo) | static_cast<size_t>(hi) << 8;
		if (len == 0)
			return false;
		uint64_t pid = entry_pid(off + dname_at, off + len);
		if (pid != no_pid)
			examine(pid);
		off += len;
	}
	return true;
}
