// Spawning, tracing and the escaped text of case files.
#include "harness.hpp"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

std::string tool_path(const std::string &tool) { return std::string(KAVRO_BIN_DIR) + "/" + tool; }

bool tool_built(const std::string &tool)
{
	return std::string_view(KAVRO_TOOLS).find("," + tool + ",") != std::string_view::npos;
}

bool emulated() { return KAVRO_EMULATOR[0] != 0; }

static int64_t now_ms()
{
	timespec ts;
	clock_gettime(CLOCK_MONOTONIC, &ts);
	return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

[[noreturn]] void exec_argv(const std::vector<std::string> &argv)
{
	std::vector<char *> v;
	for (auto &a : argv)
		v.push_back(const_cast<char *>(a.c_str()));
	v.push_back(nullptr);
	execvp(v[0], v.data());
	_exit(127);
}

Result run_cmd(const std::vector<std::string> &argv, const std::string &in, int timeout_ms,
	    const std::string &cwd, const std::string &out_file)
{
	int pin[2], pout[2], perr[2];
	if (pipe2(pin, O_CLOEXEC) || pipe2(pout, O_CLOEXEC) || pipe2(perr, O_CLOEXEC))
		abort();
	signal(SIGPIPE, SIG_IGN);
	pid_t pid = fork();
	if (pid == 0) {
		dup2(pin[0], 0);
		dup2(pout[1], 1);
		dup2(perr[1], 2);
		if (!out_file.empty() && dup2(open(out_file.c_str(), O_WRONLY), 1) != 1)
			_exit(126);
		signal(SIGPIPE, SIG_DFL);
		if (!cwd.empty() && chdir(cwd.c_str()))
			_exit(126);
		exec_argv(argv);
	}
	close(pin[0]);
	close(pout[1]);
	close(perr[1]);
	fcntl(pin[1], F_SETFL, O_NONBLOCK);
	Result r;
	size_t fed = 0;
	int infd = pin[1];
	if (in.empty()) {
		close(infd);
		infd = -1;
	}
	int64_t deadline = now_ms() + timeout_ms;
	bool out_open = true, err_open = true;
	char buf[65536];
	while (out_open || err_open) {
		pollfd fds[3] = {{pout[0], POLLIN, 0}, {perr[0], POLLIN, 0}, {infd, POLLOUT, 0}};
		if (!out_open)
			fds[0].fd = -1;
		if (!err_open)
			fds[1].fd = -1;
		int64_t left = deadline - now_ms();
		if (left <= 0 || poll(fds, 3, int(left)) == 0) {
			r.timed_out = true;
			kill(pid, SIGKILL);
			break;
		}
		for (int i = 0; i < 2; i++) {
			if (!fds[i].revents)
				continue;
			ssize_t n = read(fds[i].fd, buf, sizeof buf);
			if (n <= 0)
				(i ? err_open : out_open) = false;
			else
				(i ? r.err : r.out).append(buf, size_t(n));
		}
		if (infd >= 0 && fds[2].revents) {
			ssize_t n = write(infd, in.data() + fed, in.size() - fed);
			if (n > 0)
				fed += size_t(n);
			if (n < 0 || fed == in.size()) {
				close(infd);
				infd = -1;
			}
		}
	}
	if (infd >= 0)
		close(infd);
	close(pout[0]);
	close(perr[0]);
	// A child may close its output and still run on: the deadline holds for it too.
	int st = 0;
	pid_t got = 0;
	while (!r.timed_out && (got = waitpid(pid, &st, WNOHANG)) == 0) {
		if (now_ms() < deadline) {
			usleep(1000);
			continue;
		}
		r.timed_out = true;
		kill(pid, SIGKILL);
	}
	if (got != pid)
		waitpid(pid, &st, 0);
	r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
	return r;
}

Result run_tool(const std::string &tool, const std::vector<std::string> &args, const std::string &in,
	     int timeout_ms)
{
	std::vector<std::string> argv{tool_path(tool)};
	argv.insert(argv.end(), args.begin(), args.end());
	return run_cmd(argv, in, timeout_ms);
}

// strace -e raw=all prints every argument as a hex number, which is easy to split.
static Syscall parse_trace_line(const std::string &line, int base = 16)
{
	Syscall c;
	size_t open = line.find('(');
	size_t eq = line.rfind(" = ");
	size_t close = eq == std::string::npos ? eq : line.rfind(')', eq);
	if (open == std::string::npos || close == std::string::npos) {
		c.name = line;
		return c;
	}
	c.name = line.substr(0, open);
	std::stringstream args(line.substr(open + 1, close - open - 1));
	std::string a;
	while (std::getline(args, a, ','))
		c.args.push_back(strtoull(a.c_str(), nullptr, base));
	c.ret = int64_t(strtoull(line.c_str() + eq + 3, nullptr, base));
	return c;
}

// The emulator's log of the guest's calls (QEMU_LOG=strace) has nearly that shape: after
// the process ID, numbers in decimal or with 0x, a few constants by name, no result
// after exit, and the generic call table's openat and ppoll where x86-64 has open and
// poll (named as there, so that the tables' call lists hold for both). ppoll's timeout
// is a pointer the log does not follow: none is poll's -1, and any other the one other
// timeout the tools use, 0.
static Syscall parse_emulator_line(std::string line)
{
	line.erase(0, line.find(' ') + 1);
	bool ppoll = line.rfind("ppoll(", 0) == 0;
	if (line.find(" = ") == std::string::npos)
		line += " = 0";
	for (auto [from, to] : {std::pair{"openat(AT_FDCWD,", "open("}, {"ppoll(", "poll("},
				{"F_GETFL", "3"}, {"SIGTERM", "15"}, {"SIGKILL", "9"}})
		if (size_t at = line.find(from); at != std::string::npos)
			line.replace(at, strlen(from), to);
	Syscall c = parse_trace_line(line, 0);
	if (ppoll && c.args.size() > 2)
		c.args[2] = c.args[2] ? 0 : 0xffffffff;
	return c;
}

Result run_traced(const std::string &tool, const std::vector<std::string> &args,
	       std::vector<Syscall> &calls, const std::string &in, int timeout_ms,
	       const std::string &cwd, const std::string &out_file)
{
	calls.clear();
	std::string log = temp_dir() + "/trace";
	std::vector<std::string> argv{"strace", "-qq", "-e", "raw=all", "-e", "signal=none",
				      "-o", log, "--"};
	if (emulated()) { // the emulator logs the guest's calls itself
		argv.clear();
		setenv("QEMU_LOG", "strace", 1);
		setenv("QEMU_LOG_FILENAME", log.c_str(), 1);
	}
	argv.push_back(tool_path(tool));
	argv.insert(argv.end(), args.begin(), args.end());
	Result r = run_cmd(argv, in, timeout_ms, cwd, out_file);
	unsetenv("QEMU_LOG");
	unsetenv("QEMU_LOG_FILENAME");
	std::ifstream f(log);
	std::string line;
	while (std::getline(f, line))
		if (emulated())
			calls.push_back(parse_emulator_line(line));
		else if (line.rfind("execve(", 0) != 0 && line.rfind("+++", 0) != 0)
			calls.push_back(parse_trace_line(line));
	// The confined tools lock themselves (a look at descriptor flags, then strict mode,
	// or no_new_privs and a filter), proven by their own test; what the tables and the
	// suites check is the work around it.
	std::erase_if(calls, [&](const Syscall &c) {
		auto arg = [&](size_t i) { return c.args.size() > i ? c.args[i] : ~0ull; };
		bool lock_prctl = arg(0) == PR_SET_SECCOMP || arg(0) == PR_SET_NO_NEW_PRIVS;
		return (c.name == "fcntl" && arg(1) == F_GETFL) || (c.name == "prctl" && lock_prctl) ||
		       c.name == "seccomp";
	});
	return r;
}

std::vector<std::string> call_names(const std::vector<Syscall> &calls)
{
	std::vector<std::string> n;
	for (auto &c : calls)
		n.push_back(c.name);
	return n;
}

std::vector<Syscall> calls_named(const std::vector<Syscall> &calls, const std::string &name)
{
	std::vector<Syscall> r;
	for (auto &c : calls)
		if (c.name == name)
			r.push_back(c);
	return r;
}

static char proc_state(pid_t pid)
{
	std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
	std::string line;
	std::getline(f, line);
	size_t end = line.rfind(')');
	return end == std::string::npos || end + 2 >= line.size() ? '?' : line[end + 2];
}

// Waits until the pipe read by fd is full and pid asleep, or pid has ended.
static bool wait_full(int fd, pid_t pid, int64_t deadline)
{
	int queued = 0, size = fcntl(fd, F_GETPIPE_SZ);
	for (char st; (st = proc_state(pid)) != 'Z'; usleep(1000)) {
		if (now_ms() > deadline)
			return false;
		if (st == 'S' && ioctl(fd, FIONREAD, &queued) == 0 && queued >= size)
			return true;
	}
	return true;
}

Result run_into_full_pipe(const std::vector<std::string> &argv, bool stop, bool nonblock,
		       int timeout_ms, const std::string &prefill,
		       const std::function<void(pid_t)> &while_full)
{
	int p[2];
	// One page: any write larger than that blocks partway, so the stop cuts it short.
	if (pipe2(p, O_CLOEXEC) || fcntl(p[1], F_SETPIPE_SZ, 4096) < 0)
		abort();
	if (write(p[1], prefill.data(), prefill.size()) != ssize_t(prefill.size()))
		abort();
	if (nonblock)
		fcntl(p[1], F_SETFL, O_NONBLOCK);
	pid_t pid = fork();
	if (pid == 0) {
		dup2(p[1], 1);
		signal(SIGPIPE, SIG_DFL);
		exec_argv(argv);
	}
	close(p[1]);
	Result r;
	int64_t deadline = now_ms() + timeout_ms;
	r.timed_out = !wait_full(p[0], pid, deadline);
	if (while_full && !r.timed_out)
		while_full(pid);
	int st = 0;
	if (stop && !r.timed_out) {
		kill(pid, SIGSTOP);
		waitpid(pid, &st, WUNTRACED);
		kill(pid, SIGCONT);
	}
	char buf[65536];
	while (!r.timed_out) {
		pollfd f{p[0], POLLIN, 0};
		int64_t left = deadline - now_ms();
		r.timed_out = left <= 0 || poll(&f, 1, int(left)) == 0;
		ssize_t n = r.timed_out ? 0 : read(p[0], buf, sizeof buf);
		if (n <= 0)
			break;
		r.out.append(buf, size_t(n));
	}
	close(p[0]);
	if (r.timed_out)
		kill(pid, SIGKILL);
	waitpid(pid, &st, 0);
	r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
	return r;
}

std::vector<std::string> write_sizes(const std::vector<Syscall> &calls)
{
	std::vector<std::string> w;
	for (auto &c : calls) {
		if (c.name != "write" || c.args.size() != 3)
			continue;
		std::string n = std::to_string(c.args[2]);
		w.push_back(c.args[0] == 1 ? n : std::to_string(c.args[0]) + ":" + n);
	}
	return w;
}

std::string unescape(const std::string &s)
{
	std::string r;
	for (size_t i = 0; i < s.size(); i++) {
		if (s[i] != '\\' || i + 1 == s.size()) {
			r += s[i];
			continue;
		}
		char c = s[++i];
		switch (c) {
		case 'n': r += '\n'; break;
		case 't': r += '\t'; break;
		case 'r': r += '\r'; break;
		case '0': r += '\0'; break;
		case 's': r += ' '; break;
		case 'x':
			r += char(strtoul(s.substr(i + 1, 2).c_str(), nullptr, 16));
			i += 2;
			break;
		default: r += c;
		}
	}
	return r;
}

std::string escape(const std::string &s)
{
	std::string r;
	char hex[8];
	for (unsigned char c : s) {
		if (c == '\n')
			r += "\\n";
		else if (c == '\\' || c == '|')
			r += std::string("\\") + char(c);
		else if (c < 0x20 || c >= 0x7f) {
			snprintf(hex, sizeof hex, "\\x%02x", c);
			r += hex;
		} else
			r += char(c);
	}
	return r;
}

bool have_peer(const std::string &program)
{
	std::string cmd = "command -v " + program + " >/dev/null 2>&1 || test -x /usr/sbin/" + program;
	return system(cmd.c_str()) == 0;
}

static std::vector<std::string> temp_dirs;

std::string temp_dir()
{
	char tmpl[] = "/tmp/kavro-test-XXXXXX";
	if (!mkdtemp(tmpl))
		abort();
	if (temp_dirs.empty())
		atexit([] {
			for (auto &d : temp_dirs)
				system(("rm -rf " + d).c_str());
		});
	temp_dirs.push_back(tmpl);
	return tmpl;
}
