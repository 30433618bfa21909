// jq end to end where the cases file cannot look: the input cut and the read loop (the
// read calls themselves), what -V leaves untouched, the filter length limit, and hostile
// documents that fill the whole buffer.
#include "harness.hpp"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

static constexpr size_t held_max = 262143;

static std::string file_with(const std::string &text)
{
	std::string path = temp_dir() + "/doc.json";
	std::ofstream(path, std::ios::binary) << text;
	return path;
}

// The sizes each read asked for and got.
static std::vector<std::pair<uint64_t, int64_t>> reads(const std::vector<Syscall> &calls)
{
	std::vector<std::pair<uint64_t, int64_t>> r;
	for (auto &c : calls_named(calls, "read"))
		r.emplace_back(c.args[2], c.ret);
	return r;
}

using Reads = std::vector<std::pair<uint64_t, int64_t>>;

// A document of n bytes: head, then spaces, then tail.
static std::string padded(const std::string &head, size_t n, const std::string &tail)
{
	return head + std::string(n - head.size() - tail.size(), ' ') + tail;
}

// The read loop, and the cut: an answer that reached the end of a full buffer makes one
// read more (into a spare byte), and status 1 when a byte came; an input that ended
// before the buffer filled, or an answer found before the end, reads nothing more.
TEST(JqInput, FileReadLoopAndCut)
{
	std::string a262139 = "\"" + std::string(262138, 'a'), a262140 = a262139 + 'a';
	std::string a_full = "\"" + std::string(held_max - 1, 'a');
	std::string big = padded("{\"a\":1,", 300000, "\"last\":2}");
	std::string straddle = padded("[", held_max + 3, "0,12345]");
	struct {
		std::string doc, filt, out;
		int status;
		Reads want;
	} rows[] = {
		{a262139, ".", a262139 + "\n", 0, {{held_max, 262139}, {4, 0}}},
		{a262140, ".", a262140 + "\n", 0, {{held_max, 262140}, {1, 0}}},
		{a_full, ".", a_full + "\n", 0, {{held_max, held_max}, {1, 0}}},
		{a_full + "a", ".", a_full + "\n", 1, {{held_max, held_max}, {1, 1}}},
		{big, ".last", "null\n", 1, {{held_max, held_max}, {1, 1}}},
		{big, ".a", "1\n", 0, {{held_max, held_max}}},
		{straddle, ".[1]", "123\n", 1, {{held_max, held_max}, {1, 1}}},
		{straddle, ".[0]", "0\n", 0, {{held_max, held_max}}},
		{straddle.substr(0, held_max), ".[1]", "123\n", 0, {{held_max, held_max}, {1, 0}}},
	};
	for (auto &r : rows) {
		std::vector<Syscall> calls;
		Result res = run_traced("jq", {r.filt, file_with(r.doc)}, calls);
		SCOPED_TRACE(std::to_string(r.doc.size()) + " " + r.filt);
		EXPECT_EQ(res.status, r.status);
		EXPECT_TRUE(res.out == r.out) << res.out.size() << " bytes, want " << r.out.size();
		EXPECT_EQ(reads(calls), r.want);
		// A full buffer keeps its file open for the read that may tell whether it was cut.
		auto closes = calls_named(calls, "close");
		ASSERT_EQ(closes.size(), r.doc.size() < 262140 ? 1u : 0u);
		for (auto &c : closes)
			EXPECT_EQ(int64_t(c.args[0]), calls_named(calls, "open").at(0).ret);
	}
}

// A pipe gives the text in pieces: each read asks for the room left but the last byte,
// loading ends once 262,140 bytes are held, and standard input is never closed; the
// string runs into the cut, so one byte more is read, and it came.
TEST(JqInput, LongStandardInput)
{
	std::string doc = "\"" + std::string(400000, 'b');
	std::vector<Syscall> calls;
	Result res = run_traced("jq", {}, calls, doc);
	EXPECT_EQ(res.status, 1); // the string runs into the cut, and more input follows
	auto r = reads(calls);
	ASSERT_FALSE(r.empty());
	EXPECT_EQ(r.back(), std::make_pair(uint64_t(1), int64_t(1)));
	r.pop_back();
	size_t held = 0;
	for (auto [asked, got] : r) {
		EXPECT_LT(held, 262140u);
		EXPECT_EQ(asked, held_max - held);
		ASSERT_GT(got, 0);
		held += size_t(got);
	}
	EXPECT_GE(held, 262140u);
	EXPECT_LE(held, held_max);
	EXPECT_EQ(res.out, doc.substr(0, held) + "\n");
	EXPECT_TRUE(calls_named(calls, "close").empty());
	EXPECT_TRUE(calls_named(calls, "open").empty());
}

// A non-blocking standard input that is empty for a moment has not ended: jq waits for
// the rest and answers from the whole document.
TEST(JqInput, NonBlockingPipeInPieces)
{
	int in[2]; // jq's end is passed on as it is, non-blocking
	ASSERT_EQ(pipe2(in, O_CLOEXEC | O_NONBLOCK) | fcntl(in[0], F_SETFD, 0), 0);
	std::thread writer([&] {
		for (std::string piece : {"{\"a\":", "1,\"b\":[1,", "2]}"}) {
			usleep(100000);
			(void)!write(in[1], piece.data(), piece.size());
		}
		close(in[1]);
	});
	Result res = run_cmd({"/bin/sh", "-c", "exec \"$0\" .b <&" + std::to_string(in[0]), tool_path("jq")}, "", 10000);
	writer.join();
	close(in[0]);
	EXPECT_EQ(res.out, "[1,2]\n");
	EXPECT_EQ(res.status, 0);
}

TEST(JqInput, VersionTouchesNoInput)
{
	std::vector<Syscall> calls;
	Result res = run_traced("jq", {"-r", "-Vx", ".a", "missing.json"}, calls, "{}");
	EXPECT_EQ(res.status, 0);
	EXPECT_EQ(res.out.size(), 93u);
	ASSERT_EQ(calls.size(), 2u);
	EXPECT_EQ(write_sizes(calls), std::vector<std::string>{"93"});
	EXPECT_EQ(calls[1].name, "exit");
}

// 511 bytes fit the filter buffer with its zero; one more is refused whole, after the
// input was read, rather than cut into a filter that selects something else.
TEST(JqInput, FilterLengthLimit)
{
	std::string doc = "{\"" + std::string(510, 'k') + "\":1,\"" + std::string(511, 'k') + "\":2}";
	std::string path = file_with(doc);
	Result fits = run_tool("jq", {"." + std::string(510, 'k'), path});
	EXPECT_EQ(fits.status, 0);
	EXPECT_EQ(fits.out, "1\n");
	std::vector<Syscall> calls;
	Result longer = run_traced("jq", {"." + std::string(511, 'k'), path}, calls);
	EXPECT_EQ(longer.status, 1);
	EXPECT_EQ(longer.out, "");
	EXPECT_EQ(reads(calls).size(), 2u);
	EXPECT_TRUE(write_sizes(calls).empty());
	Result replaced = run_tool("jq", {"." + std::string(600, 'k'), "." + std::string(510, 'k'), path});
	EXPECT_EQ(replaced.out, "1\n");
}

// Documents that fill the buffer with nesting or escapes end promptly: with status 1
// where the answer ran into the cut and more input followed.
TEST(JqInput, HostileFullDocuments)
{
	std::string open(held_max, '['), escapes;
	while (escapes.size() < 2 * held_max)
		escapes += "\"\\";
	struct {
		std::string doc;
		std::vector<std::string> args;
		std::string out;
		int status;
	} rows[] = {
		{open, {"."}, open + "\n", 0},
		{open, {".[0]"}, open.substr(1) + "\n", 0},
		{open, {".[1]"}, "null\n", 0},
		{open, {".a"}, "null\n", 0},
		{escapes, {"."}, escapes.substr(0, held_max) + "\n", 1},
		{escapes, {"-r", "."}, std::string(held_max / 2, '"') + "\n", 1},
		{"[" + escapes, {".[0]"}, escapes.substr(0, held_max - 1) + '\0' + "\n", 1},
		{"{" + escapes, {".a"}, "null\n", 0},
	};
	for (auto &r : rows) {
		auto args = r.args;
		args.push_back(file_with(r.doc));
		Result res = run_tool("jq", args, "", 10000);
		SCOPED_TRACE(r.doc.substr(0, 4) + " " + r.args.back());
		ASSERT_FALSE(res.timed_out);
		EXPECT_EQ(res.status, r.status);
		EXPECT_TRUE(res.out == r.out) << res.out.size() << " bytes, want " << r.out.size();
	}
}
