// Runs every line of tests/cases/TOOL.txt against build/bin/TOOL. A line is
//   ARGS | STATUS | STDOUT | STDERR | STDIN | WRITES
// ARGS are separated by spaces ('' is an empty argument); text fields use the escapes
// of unescape() and are trimmed, so \s marks a space at either edge. Trailing fields
// may be left out (empty output and input expected; writes not checked). WRITES lists
// the write calls in order, "LEN" on descriptor 1 and "FD:LEN" elsewhere, or "-" for no
// write call at all, checked under strace together with the file's "@syscalls" line:
// the only calls a run may make. STDOUT "@full" runs the tool with /dev/full as its
// standard output, where every write fails.
// Tools run with tests/ as their working folder, so cases may name files in tests/data.
#include "harness.hpp"

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

struct Case {
	std::string tool, where, args_text;
	std::vector<std::string> args;
	int status = 0;
	std::string out, err, in;
	bool check_writes = false;
	std::vector<std::string> writes;
	std::set<std::string> allowed;
	std::string out_file;
};

static std::vector<std::string> split_fields(const std::string &line)
{
	std::vector<std::string> f(1);
	for (size_t i = 0; i < line.size(); i++) {
		if (line[i] == '\\' && i + 1 < line.size())
			f.back() += line.substr(i++, 2);
		else if (line[i] == '|')
			f.emplace_back();
		else
			f.back() += line[i];
	}
	for (auto &s : f) {
		s.erase(0, s.find_first_not_of(" \t"));
		s.erase(s.find_last_not_of(" \t") + 1);
	}
	return f;
}

static std::vector<std::string> words(const std::string &s)
{
	std::vector<std::string> w;
	std::istringstream in(s);
	std::string t;
	while (in >> t)
		w.push_back(t == "''" ? "" : unescape(t));
	return w;
}

static std::vector<Case> load_cases()
{
	std::vector<Case> all;
	std::string dir = std::string(KAVRO_TESTS_DIR) + "/cases";
	DIR *d = opendir(dir.c_str());
	std::vector<std::string> files;
	while (dirent *e = d ? readdir(d) : nullptr)
		if (std::string n = e->d_name; n.size() > 4 && n.substr(n.size() - 4) == ".txt")
			files.push_back(n);
	if (d)
		closedir(d);
	for (auto &file : files) {
		std::ifstream in(dir + "/" + file);
		std::string line, tool = file.substr(0, file.size() - 4);
		if (!tool_built(tool))
			continue;
		std::set<std::string> allowed;
		for (int no = 1; std::getline(in, line); no++) {
			if (line.rfind("@syscalls", 0) == 0) {
				auto w = words(line.substr(9));
				allowed = {w.begin(), w.end()};
			}
			if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#' ||
			    line[0] == '@')
				continue;
			auto f = split_fields(line);
			if (f.size() > 6) { // an unescaped '|' would shift or drop expectations
				fprintf(stderr, "%s:%d: more than six fields\n", file.c_str(), no);
				abort();
			}
			f.resize(6);
			Case c{tool, tool + "_" + std::to_string(no), f[0], words(f[0]), atoi(f[1].c_str()),
			       unescape(f[2]), unescape(f[3]), unescape(f[4]), !f[5].empty(),
			       f[5] == "-" ? std::vector<std::string>{} : words(f[5]),
			       allowed};
			if (f[2] == "@full") {
				c.out.clear();
				c.out_file = "/dev/full";
			}
			all.push_back(c);
		}
	}
	return all;
}

static void PrintTo(const Case &c, std::ostream *os) { *os << c.where; }

class Cases : public testing::TestWithParam<Case> {};

TEST_P(Cases, Matches)
{
	const Case &c = GetParam();
	std::vector<Syscall> calls;
	Result r = run_traced(c.tool, c.args, calls, c.in, 20000, KAVRO_TESTS_DIR, c.out_file);
	SCOPED_TRACE(c.tool + " " + c.args_text);
	ASSERT_FALSE(r.timed_out);
	EXPECT_EQ(escape(r.out), escape(c.out));
	EXPECT_EQ(escape(r.err), escape(c.err));
	EXPECT_EQ(r.status, c.status);
	// Every run ends in exit; a trace without it would make the checks below vacuous.
	ASSERT_FALSE(calls.empty());
	EXPECT_EQ(calls.back().name, "exit") << "incomplete trace";
	if (c.check_writes)
		EXPECT_EQ(write_sizes(calls), c.writes);
	for (auto &call : calls)
		if (!c.allowed.empty())
			EXPECT_TRUE(c.allowed.count(call.name)) << "unexpected system call " << call.name;
}

INSTANTIATE_TEST_SUITE_P(All, Cases, testing::ValuesIn(load_cases()),
			 [](const testing::TestParamInfo<Case> &i) { return i.param.where; });
