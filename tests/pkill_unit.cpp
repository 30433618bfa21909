// The process walk of pkill over crafted getdents64 batches, with a fake /proc: which
// entries are examined, which comm files are read and which processes are signalled.
#include "pkill/walk.hpp"

#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

// The fake system: comm contents by entry name (a missing entry cannot be opened),
// every read and every kill attempt recorded; process 666 refuses our signals.
static std::map<std::string, std::string> comms;
static std::vector<std::string> read_entries;
static std::vector<std::pair<uint64_t, int>> kills;
static constexpr uint64_t refusing_pid = 666;
static constexpr uint64_t our_pid = 500;

long read_comm(const char *file, char *buf, size_t max)
{
	EXPECT_EQ(max, comm_read_max);
	EXPECT_LT(strlen(file), path_size);
	std::string f = file;
	const std::string head = "/proc/", tail = "/comm";
	if (f.size() < head.size() + tail.size() || f.rfind(head, 0) != 0 ||
	    f.substr(f.size() - tail.size()) != tail) {
		ADD_FAILURE() << "bad comm path " << f;
		return -2;
	}
	std::string entry = f.substr(head.size(), f.size() - head.size() - tail.size());
	read_entries.push_back(entry);
	auto it = comms.find(entry);
	if (it == comms.end())
		return -2;
	size_t n = std::min(max, it->second.size());
	memcpy(buf, it->second.data(), n);
	return long(n);
}

bool send_signal(uint64_t pid, int signo)
{
	kills.push_back({pid, signo});
	return pid != refusing_pid;
}

// Records as the kernel lays them out: 8-byte aligned, zero-padded names.
static std::vector<uint8_t> batch_of(const std::vector<std::string> &names)
{
	std::vector<uint8_t> b;
	for (auto &n : names) {
		size_t len = (19 + n.size() + 1 + 7) & ~size_t(7);
		size_t at = b.size();
		b.resize(at + len);
		b[at + 16] = uint8_t(len);
		b[at + 17] = uint8_t(len >> 8);
		b[at + 18] = 4;
		memcpy(&b[at + 19], n.data(), n.size());
	}
	return b;
}

static void reset(const std::string &name, int signo = 15)
{
	ASSERT_TRUE(set_name(name.c_str()));
	sig = signo;
	hit = 0;
	selfp = our_pid;
	read_entries.clear();
	kills.clear();
}

// Runs one batch; returns the pids signalled. The batch is copied into a buffer of its
// exact size so the sanitizer sees any read beyond it.
static std::vector<uint64_t> walk(const std::vector<uint8_t> &b, bool want_more = true)
{
	std::vector<uint8_t> exact(b);
	EXPECT_EQ(walk_batch(exact.data(), exact.size()), want_more);
	std::vector<uint64_t> pids;
	for (auto &k : kills)
		pids.push_back(k.first);
	return pids;
}

using Pids = std::vector<uint64_t>;
const std::string long_zeros(243, '0');

TEST(PkillWalk, Matching)
{
	struct {
		const char *what;
		std::string name;
		std::vector<std::pair<std::string, std::string>> procs; // in listing order
		Pids want;
		bool hit;
	} rows[] = {
		{"exact names, listing order", "kvfoo",
		 {{"30", "kvfoo\n"}, {"7", "kvfoo\n"}, {"12", "bar\n"}}, {30, 7}, true},
		{"no prefix, suffix or case match", "kvfoo",
		 {{"2", "kvfoobar\n"}, {"3", "kvfo\n"}, {"4", "Kvfoo\n"}, {"5", "kvfoo \n"},
		  {"6", "xkvfoo\n"}},
		 {}, false},
		{"only one newline removed", "kvfoo",
		 {{"2", "kvfoo\n\n"}, {"3", "kvfoo"}, {"4", "kvfoo\r\n"}}, {3}, true},
		{"empty name matches an empty comm only", "",
		 {{"2", "\n"}, {"3", ""}, {"4", "\n\n"}, {"5", "x\n"}}, {2}, true},
		{"protected name never signalled", "tazu", {{"2", "tazu\n"}, {"3", "tazu"}}, {}, false},
		{"processes 0 and 1 and ourselves never signalled", "kv",
		 {{"0", "kv\n"}, {"1", "kv\n"}, {"0001", "kv\n"}, {"500", "kv\n"}, {"2", "kv\n"}},
		 {2}, true},
		{"a refused signal is no hit", "kv", {{"666", "kv\n"}}, {666}, false},
		{"a refused and a delivered signal", "kv", {{"666", "kv\n"}, {"9", "kv\n"}},
		 {666, 9}, true},
		{"unreadable or empty comm skipped", "kv", {{"2", ""}, {"4", "kv\n"}}, {4}, true},
		{"IDs beyond 32 bits never signalled", "kv",
		 {{"2147483647", "kv\n"}, {"2147483648", "kv\n"}, {"4294967295", "kv\n"},
		  {"4294967297", "kv\n"}, {"18446744073709551617", "kv\n"},
		  {"18446744073709551623", "kv\n"}},
		 {2147483647}, true},
		{"leading zeros up to the room of path", "kv",
		 {{long_zeros + "7", "kv\n"}, {long_zeros + "08", "kv\n"}}, {7}, true},
		{"comm read is cut at 200 bytes", std::string(200, 'a'),
		 {{"2", std::string(250, 'a')}, {"3", std::string(199, 'a') + "\n"}}, {2}, true},
	};
	for (auto &r : rows) {
		SCOPED_TRACE(r.what);
		reset(r.name);
		comms = {r.procs.begin(), r.procs.end()};
		std::vector<std::string> names;
		for (auto &p : r.procs)
			names.push_back(p.first);
		EXPECT_EQ(walk(batch_of(names)), r.want);
		EXPECT_EQ(hit, r.hit);
		for (auto &k : kills)
			EXPECT_EQ(k.second, 15);
	}
}

TEST(PkillWalk, WhichEntriesAreCandidates)
{
	struct {
		const char *what;
		std::vector<std::string> names;
		std::vector<std::string> read;
	} rows[] = {
		{"directory entries", {".", "..", "self", "sys", "1a", "a1", "-5", "+5", "1 2", "42"},
		 {"42"}},
		{"bytes beyond ASCII digits", {"\x80", "1\xff", "/1", ":1", "12"}, {"12"}},
		{"244 digits fit path, 245 do not",
		 {long_zeros + "9", long_zeros + "10", std::string(300, '1')}, {long_zeros + "9"}},
		{"listing order kept", {"9", "3", "10"}, {"9", "3", "10"}},
	};
	for (auto &r : rows) {
		SCOPED_TRACE(r.what);
		reset("kv");
		comms.clear();
		walk(batch_of(r.names));
		EXPECT_EQ(read_entries, r.read);
		EXPECT_TRUE(kills.empty());
	}
}

// Batches no kernel returns: the walk must stay inside the bytes it was given.
TEST(PkillWalk, MalformedBatches)
{
	comms = {{"2", "kv\n"}, {"3", "kv\n"}};
	auto b = batch_of({"2", "3"});

	reset("kv");
	auto ended = b;
	ended[16] = ended[17] = 0;
	EXPECT_EQ(walk(ended, false), Pids{});

	reset("kv");
	auto second_ends = batch_of({"2", "3", "4"});
	second_ends[24 + 16] = 0;
	EXPECT_EQ(walk(second_ends, false), Pids{2});

	reset("kv");
	EXPECT_EQ(walk(std::vector<uint8_t>(b.begin(), b.begin() + 24 + 17)), Pids{2});

	// A name whose zero byte lies beyond its record, or beyond the batch.
	reset("kv");
	auto short_rec = b;
	short_rec[16] = 20;
	EXPECT_EQ(walk(std::vector<uint8_t>(short_rec.begin(), short_rec.begin() + 20)), Pids{});
	reset("kv");
	auto long_rec = b;
	long_rec[16] = 0xff;
	long_rec[17] = 0xff;
	EXPECT_EQ(walk(std::vector<uint8_t>(long_rec.begin(), long_rec.begin() + 20)), Pids{});

	// A record too short to hold a name is stepped over by its length: here 8, landing
	// on a whole record whose unused d_off field carries that length.
	reset("kv");
	std::vector<uint8_t> joined(8, 0);
	auto rest = batch_of({"3"});
	joined.insert(joined.end(), rest.begin(), rest.end());
	joined[16] = 8;
	EXPECT_EQ(walk(joined), Pids{3});
	EXPECT_EQ(walk(std::vector<uint8_t>{}), Pids{3});
}

TEST(PkillWalk, BatchesAccumulateAndSignalIsKept)
{
	reset("kv", 9);
	comms = {{"2", "kv\n"}, {"3", "kv\n"}};
	walk(batch_of({"2"}));
	walk(batch_of({"3"}));
	EXPECT_EQ(kills, (std::vector<std::pair<uint64_t, int>>{{2, 9}, {3, 9}}));
	EXPECT_TRUE(hit);
}

TEST(PkillName, Length)
{
	EXPECT_TRUE(set_name(std::string(255, 'n').c_str()));
	EXPECT_FALSE(set_name(std::string(256, 'n').c_str()));
	EXPECT_FALSE(set_name(std::string(100000, 'n').c_str()));
	EXPECT_TRUE(set_name(""));
}
