// Test harness shared by every suite: spawn a built tool (or any command) with
// arguments and standard input, bounded by a timeout, and capture what it did.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <sys/types.h>
#include <string>
#include <vector>

struct Result {
	std::string out, err;
	int status = -1;        // exit status, or -1 when killed by a signal or the timeout
	bool timed_out = false;
};

struct Syscall {
	std::string name;
	std::vector<uint64_t> args;
	int64_t ret = 0;
};

// Path of a built tool: build/bin/NAME.
std::string tool_path(const std::string &tool);
// Whether tool is one of the KAVRO_TOOLS this build was configured with.
bool tool_built(const std::string &tool);

// In a forked child: runs argv (searched in PATH), or ends the child with 127.
[[noreturn]] void exec_argv(const std::vector<std::string> &argv);

// Runs argv[0] with the rest as arguments; stdin is fed and closed; killed after
// timeout_ms. cwd, when given, is the child's working directory; out_file, when given,
// is opened for writing as its standard output instead of the captured pipe.
Result run_cmd(const std::vector<std::string> &argv, const std::string &in = "",
	    int timeout_ms = 20000, const std::string &cwd = "", const std::string &out_file = "");

Result run_tool(const std::string &tool, const std::vector<std::string> &args,
	     const std::string &in = "", int timeout_ms = 20000);

// Runs a tool under strace and returns its system calls in order: execve and the
// confinement prologue (prctl, seccomp) excluded.
Result run_traced(const std::string &tool, const std::vector<std::string> &args,
	       std::vector<Syscall> &calls, const std::string &in = "",
	       int timeout_ms = 20000, const std::string &cwd = "",
	       const std::string &out_file = "");

// Runs argv with standard output on a one-page pipe that is not read until the child is
// asleep with the pipe full, i.e. blocked in a write (or waiting to write); with stop,
// it is then stopped and continued once, which cuts a blocked write short. With
// nonblock the pipe's write end is non-blocking. Then everything is read to the end.
// prefill goes into the pipe first (and so begins the output), and while_full, when
// given, is called with the child's pid while it waits on the full pipe.
Result run_into_full_pipe(const std::vector<std::string> &argv, bool stop, bool nonblock,
		       int timeout_ms = 20000, const std::string &prefill = "",
		       const std::function<void(pid_t)> &while_full = {});

// The names of a trace's calls, and the calls of one name, in order.
std::vector<std::string> call_names(const std::vector<Syscall> &calls);
std::vector<Syscall> calls_named(const std::vector<Syscall> &calls, const std::string &name);

// The write calls of a trace, as "LEN" for descriptor 1 and "FD:LEN" otherwise.
std::vector<std::string> write_sizes(const std::vector<Syscall> &calls);

// Escaped text of the case files: \n \t \r \0 \\ \| \s (space) \xHH.
std::string unescape(const std::string &s);
std::string escape(const std::string &s);

// Seconds since t, for the few tests whose subject is a time bound of the tool.
inline double seconds_since(std::chrono::steady_clock::time_point t)
{
	return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// KAVRO_REQUIRE_ALL=1 (set by .ci/run, never by a CI service's own variables) turns
// every skip for a missing peer, corpus or privilege into a failure.
inline bool require_all()
{
	const char *v = getenv("KAVRO_REQUIRE_ALL");
	return v && std::string(v) == "1";
}

// A real peer (unbound, nginx) missing: skipped, a failure with KAVRO_REQUIRE_ALL=1.
bool have_peer(const std::string &program);
#define REQUIRE_PEER(prog)                                                        \
	do {                                                                      \
		if (!have_peer(prog)) {                                           \
			if (require_all())                                        \
				FAIL() << prog " is required (KAVRO_REQUIRE_ALL)"; \
			GTEST_SKIP() << prog " is not installed";                 \
		}                                                                 \
	} while (0)

// A fresh temporary folder, removed at exit of the test program.
std::string temp_dir();
