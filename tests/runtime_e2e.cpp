// The process entry shared by the tools. A parent may start a program with no argument
// vector at all (argc 0; kernels before 5.18 allow it, newer ones add an empty name).
// We rewrite the initial stack of a freshly started tool to that shape before its first
// instruction runs: with no program name to skip, the tool must act as if it had been
// given no arguments, never read past the vector's end.
#include "harness.hpp"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/ptrace.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

static std::string slurp(const std::string &file)
{
	std::ifstream f(file);
	std::stringstream s;
	s << f.rdbuf();
	return s.str();
}

static Result run_without_argv(const std::string &tool)
{
	std::string dir = temp_dir();
	pid_t pid = fork();
	if (pid == 0) {
		int out = open((dir + "/out").c_str(), O_WRONLY | O_CREAT, 0600);
		int err = open((dir + "/err").c_str(), O_WRONLY | O_CREAT, 0600);
		if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
			_exit(126);
		alarm(20);
		ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
		std::string path = tool_path(tool);
		char *argv[] = {path.data(), nullptr};
		char *envp[] = {const_cast<char *>("KV=%s%s%s%s"), nullptr};
		execve(argv[0], argv, envp);
		_exit(127);
	}
	Result r;
	int st = 0;
	waitpid(pid, &st, 0);
	user_regs_struct regs{};
	// Stopped right after execve: argc becomes 0 and the vector's first slot its
	// terminating null pointer. Without that rewrite the run would prove nothing.
	bool rewritten = WIFSTOPPED(st) && ptrace(PTRACE_GETREGS, pid, nullptr, &regs) == 0 &&
			 ptrace(PTRACE_POKEDATA, pid, regs.rsp, nullptr) == 0 &&
			 ptrace(PTRACE_POKEDATA, pid, regs.rsp + 8, nullptr) == 0;
	EXPECT_TRUE(rewritten) << "could not rewrite the tool's initial stack";
	ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
	waitpid(pid, &st, 0);
	r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
	r.out = slurp(dir + "/out");
	r.err = slurp(dir + "/err");
	return r;
}

TEST(Runtime, NoArgumentVectorAtAll)
{
	struct {
		std::string tool;
		int status;
		std::string out, err;
	} rows[] = {
		{"echo", 0, "\n", ""},
		{"printf", 2, "", "usage: printf FORMAT [ARG...]\n"},
		{"pkill", 2, "", "usage: pkill [-9|-15] NAME  (protects tazu only \xC2\xB7 rest is yours)\n"},
	};
	for (auto &r : rows) {
		if (!tool_built(r.tool))
			continue;
		SCOPED_TRACE(r.tool);
		Result res = run_without_argv(r.tool);
		EXPECT_EQ(res.status, r.status);
		EXPECT_EQ(res.out, r.out);
		EXPECT_EQ(res.err, r.err);
	}
}

// Output the pipe takes in parts (a blocked write cut short by a stop and continue, or a
// full non-blocking pipe read in small pieces) must still arrive whole and in order:
// the rest of a write goes on exactly where the kernel stopped. The text counts up, so
// a byte dropped, doubled or shifted shows.
TEST(Runtime, LongOutputTakenInParts)
{
	std::string arg, doc = temp_dir() + "/doc.json";
	for (int i = 0; arg.size() < 100000; i++)
		arg += std::to_string(i) + ",";
	std::ofstream(doc) << '[' << arg << arg << ']';
	struct {
		std::vector<std::string> argv;
		std::string out;
	} rows[] = {
		{{"echo", arg, arg}, arg + " " + arg + "\n"},
		{{"printf", "%s|%s", arg, arg}, arg + "|" + arg},
		{{"jq", ".", doc}, "[" + arg + arg + "]\n"},
	};
	for (auto &r : rows) {
		if (!tool_built(r.argv[0]))
			continue;
		auto argv = r.argv;
		argv[0] = tool_path(argv[0]);
		for (bool stop : {true, false}) {
			SCOPED_TRACE(r.argv[0] + (stop ? " stopped" : " non-blocking"));
			Result res = run_into_full_pipe(argv, stop, !stop);
			EXPECT_EQ(res.status, 0);
			EXPECT_TRUE(res.out == r.out) << res.out.size() << " bytes, want " << r.out.size();
		}
	}
}
