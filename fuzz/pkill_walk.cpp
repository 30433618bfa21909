// The pkill directory walk over arbitrary getdents64 batches and comm contents. Input:
// a flags byte (bit 0: every signal is refused, bit 1: signal 9), a length byte and
// that many bytes of NAME, a length byte and that many bytes of comm (255: the comm
// file cannot be read), then the listing, walked in batches of at most 8192 bytes as
// the tool reads it. The fake system checks every signal the walk tries to send.
#include "fuzz.hpp"
#include "pkill/walk.hpp"

#include <cstdlib>
#include <cstring>
#include <string>

static constexpr uint64_t our_pid = 4242;
static constexpr size_t batch_max = 8192;
static std::string name_now, comm_now;
static bool comm_fails, refuse;
static std::string last_digits; // the entry name of the comm file read last

// The comm file the walk reads must be "/proc/" + the entry's digits + "/comm"; the fake
// hands over the scripted command name, in the walk's static buffer fenced as a read
// into it would leave it.
long read_comm(const char *file, char *buf, size_t max)
{
	std::string f = file;
	if (buf != comm || max != comm_read_max || f.size() >= path_size || f.size() < 12 ||
	    f.compare(0, 6, "/proc/") || f.compare(f.size() - 5, 5, "/comm"))
		abort();
	last_digits = f.substr(6, f.size() - 11);
	if (last_digits.find_first_not_of("0123456789") != std::string::npos)
		abort();
	if (comm_fails)
		return -13;
	return long(load_poisoned(buf, comm_size, reinterpret_cast<const uint8_t *>(comm_now.data()),
				  std::min(max, comm_now.size())));
}

// The rule, as documented: the process ID is the decimal value of the entry's digits,
// never 0, 1 or ourselves, and never one that kill would cut to another process (over
// 31 bits); the command name, one final newline dropped, is NAME and not "tazu".
bool send_signal(uint64_t pid, int signo)
{
	std::string c = comm_now.substr(0, comm_read_max);
	if (!c.empty() && c.back() == '\n')
		c.pop_back();
	std::string digits = last_digits.substr(std::min(last_digits.find_first_not_of('0'), last_digits.size()));
	if (pid < 2 || pid > 0x7fffffff || pid == our_pid || std::to_string(pid) != digits ||
	    c != name_now || c == "tazu" || (signo != sig_kill && signo != sig_term))
		abort();
	return !refuse;
}

// Takes a length byte and that many bytes (fewer when the input ends).
static std::string take(const uint8_t *&p, const uint8_t *end)
{
	if (p == end)
		return "";
	size_t want = *p++;
	size_t n = std::min(want, size_t(end - p));
	std::string s(reinterpret_cast<const char *>(p), n);
	p += n;
	return s;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const uint8_t *p = data, *end = data + size;
	uint8_t flags = p < end ? *p++ : 0;
	refuse = flags & 1;
	sig = flags & 2 ? sig_kill : sig_term;
	hit = 0;
	selfp = our_pid;
	name_now = take(p, end);
	bool long_comm = p < end && *p == 255;
	comm_now = take(p, end);
	comm_fails = long_comm;
	if (!set_name(name_now.c_str()))
		abort();
	name_now = name_now.c_str();
	while (p < end) {
		size_t n = std::min(batch_max, size_t(end - p));
		std::vector<uint8_t> batch(p, p + n);
		p += n;
		if (!walk_batch(batch.data(), n))
			break;
	}
	if (hit && refuse)
		abort();
	return 0;
}
