// Self-confinement of dig, curl, jq and pkill. Each lock (strict mode, each filter),
// taken in a forked child, must let every call it allows through and kill on anything
// else; the built tools must be locked (as /proc shows) while they wait on a peer or on
// their output; and where the kernel refuses the lock they must work as before.
#include "common/confine.hpp"
#include "curl/calls.hpp"
#include "fake_dns.hpp"
#include "harness.hpp"
#include "jq/calls.hpp"
#include "pkill/calls.hpp"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

struct call {
	long nr;
	long args[6];
};

// No descriptor, address, process, count or timeout that exists: a call that passes
// the filter fails at once and harms nothing.
static constexpr long none = 0x7fffffff;

// Every entry of a list, with the arguments its checks ask for.
template <size_t N>
static std::vector<call> listed(const call_list<N> &list)
{
	std::vector<call> v;
	for (uint32_t w : list.w) {
		if (w >> 24 & 0xc0) // a process ID check: none passes it
			continue;
		if (w >> 24)
			v.back().args[((w >> 24) - 16) / 8] = w & 0xffffff;
		else
			v.push_back({w, {none, none, none, none, none, none}});
	}
	return v;
}

// Installs the filter in a child, which makes the calls and exits; gives its wait status.
template <auto list, bool strict = false>
static int confined_child(const std::vector<call> &calls)
{
	pid_t pid = fork();
	if (pid == 0) {
		alarm(10);
		if (strict)
			lock<list>(false);
		else
			install_filter<list>();
		for (auto &c : calls)
			if (c.nr != sys::nr_exit)
				sys::call6(c.nr, c.args[0], c.args[1], c.args[2], c.args[3], c.args[4], c.args[5]);
		sys::exit(0);
	}
	int st = 0;
	waitpid(pid, &st, 0);
	return st;
}

struct tool_list {
	std::string tool;
	std::function<int(const std::vector<call> &)> run;
	std::vector<call> allowed, refused;
	int kill = SIGSYS; // strict mode kills with SIGKILL
};

static call c(long nr, long a0 = none, long a1 = none, long a2 = none)
{
	return {nr, {a0, a1, a2, none, none, none}};
}

static const std::vector<call> never = {
	c(102), c(59), c(9), c(231), c(0x40000000 | sys::nr_getpid), c(-1),
};

TEST(Confine, EachListPassesItsCallsAndKillsOnOthers)
{
	constexpr long inet6 = 10, raw = 3, rdwr_creat = 0102, so_sndtimeo = 21, sigint = 2;
	tool_list rows[] = {
		{"strict mode (jq, dig)", [](auto &v) { return confined_child<jq_calls, true>(v); },
		 {c(sys::nr_read), c(sys::nr_write)}, {c(sys::nr_poll), c(sys::nr_close), c(sys::nr_fcntl)}, SIGKILL},
		{"output path (dig)", [](auto &v) { return confined_child<as_list(out_calls)>(v); },
		 listed(as_list(out_calls)),
		 {c(sys::nr_socket, sys::af_inet, sys::sock_dgram, 0), c(sys::nr_read), c(sys::nr_open, none, 0),
		  c(sys::nr_close), c(sys::nr_fcntl)}},
		{"curl", [](auto &v) { return confined_child<curl_calls>(v); }, listed(curl_calls),
		 {c(sys::nr_socket, inet6, sys::sock_stream, 0), c(sys::nr_socket, sys::af_inet, raw, 0),
		  c(sys::nr_socket, sys::af_inet, sys::sock_dgram, 0), c(sys::nr_sendto), c(sys::nr_recvfrom),
		  c(sys::nr_setsockopt), c(sys::nr_open, none, 0), c(sys::nr_kill, none, 15)}},
		{"jq", [](auto &v) { return confined_child<jq_calls>(v); }, listed(jq_calls),
		 {c(sys::nr_open, none, sys::o_rdonly), c(sys::nr_close),
		  c(sys::nr_socket, sys::af_inet, sys::sock_dgram, 0), c(sys::nr_getdents64)}},
		{"pkill", [](auto &v) { return confined_child<pkill_calls>(v); }, listed(pkill_calls),
		 {c(sys::nr_kill, none, sigint), c(sys::nr_kill, none, 0), c(sys::nr_open, none, rdwr_creat),
		  c(sys::nr_socket, sys::af_inet, sys::sock_dgram, 0), c(sys::nr_getpid)}},
	};
	// Signals to groups, to everyone and to init, which a filter that let them through
	// would deliver: harmless only from the init of a private PID namespace.
	if (getpid() == 1)
		rows[4].refused.insert(rows[4].refused.end(), {c(sys::nr_kill, 0, 15), c(sys::nr_kill, -1, 9),
			c(sys::nr_kill, -4242, 15), c(sys::nr_kill, 1, 15), c(sys::nr_kill, 0xffffffff, 9)});
	for (auto &r : rows) {
		SCOPED_TRACE(r.tool);
		int st = r.run(r.allowed);
		EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "wait status " << st;
		auto refused = r.refused;
		refused.insert(refused.end(), never.begin(), never.end());
		for (auto &x : refused) {
			st = r.run({x});
			EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == r.kill)
				<< "call " << x.nr << " (" << x.args[0] << ", " << x.args[1] << ", "
				<< x.args[2] << "): wait status " << st;
		}
	}
}

// Starts argv with standard input from /dev/null and the outputs discarded.
static pid_t spawn(const std::vector<std::string> &argv)
{
	pid_t pid = fork();
	if (pid == 0) {
		int null = open("/dev/null", O_RDWR);
		dup2(null, 0);
		dup2(null, 1);
		dup2(null, 2);
		exec_argv(argv);
	}
	return pid;
}

static std::string status_line(pid_t pid, const std::string &key)
{
	std::ifstream f("/proc/" + std::to_string(pid) + "/status");
	for (std::string line; std::getline(f, line);)
		if (line.rfind(key + ":", 0) == 0)
			return line;
	return "";
}

// The confinement lines of a running process, once it is locked (or after 10 s).
static std::string confinement(pid_t pid)
{
	for (int i = 0; i < 1000 && status_line(pid, "Seccomp") == "Seccomp:\t0"; i++)
		usleep(10000);
	return status_line(pid, "NoNewPrivs") + " " + status_line(pid, "Seccomp");
}

static constexpr const char *confined = "NoNewPrivs:\t1 Seccomp:\t2";

static bool wait_until(const std::function<bool()> &done)
{
	for (int i = 0; i < 1000; i++, usleep(10000))
		if (done())
			return true;
	return false;
}

static int end_of(pid_t pid)
{
	kill(pid, SIGKILL);
	int st = 0;
	waitpid(pid, &st, 0);
	return st;
}

TEST(Confine, CurlWaitingForTheResponse)
{
	if (!confine_enabled)
		GTEST_SKIP() << "built with KAVRO_CONFINE=OFF";
	fake_dns dns([](const dns_query &q) { return dns_answer{{dns_reply(q.data, {{1, ipv4("127.0.0.1")}})}, {}}; });
	int lfd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	sockaddr_in sa{};
	sa.sin_family = AF_INET;
	sa.sin_port = htons(8080);
	sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	ASSERT_EQ(bind(lfd, reinterpret_cast<sockaddr *>(&sa), sizeof sa), 0);
	ASSERT_EQ(listen(lfd, 1), 0);
	pid_t pid = spawn({tool_path("curl"), "http://kv.test:8080/"});
	// Once the request is in, curl waits for a response that never comes.
	pollfd p{lfd, POLLIN, 0};
	ASSERT_EQ(poll(&p, 1, 10000), 1) << "no connection";
	int conn = accept4(lfd, nullptr, nullptr, SOCK_CLOEXEC);
	char req[512];
	p = {conn, POLLIN, 0};
	EXPECT_TRUE(poll(&p, 1, 10000) == 1 && read(conn, req, sizeof req) > 0) << "no request";
	EXPECT_EQ(confinement(pid), confined);
	end_of(pid);
	close(conn);
	close(lfd);
}

// jq and dig lock themselves once their input is held: in strict mode where a blocked
// write just waits in the kernel, with their short list where their output would block
// and must be waited for with poll. Either way they are locked while they wait (here on
// a full pipe), and every byte arrives.
TEST(Confine, LockedWhileBlockedWritingOutput)
{
	if (!confine_enabled)
		GTEST_SKIP() << "built with KAVRO_CONFINE=OFF";
	fake_dns dns([](const dns_query &q) { return dns_answer{{dns_reply(q.data, {{1, ipv4("192.0.2.7")}})}, {}}; });
	std::string doc = "\"" + std::string(70000, 'j') + "\"", path = temp_dir() + "/long.json";
	std::ofstream(path) << doc;
	struct {
		std::vector<std::string> argv;
		std::string prefill, out;
	} rows[] = {
		{{tool_path("jq"), ".", path}, "", doc + "\n"},
		{{tool_path("dig"), "+short", "kv.test"}, std::string(4096, 'p'), "192.0.2.7\n"},
	};
	for (auto &r : rows) {
		for (bool nonblock : {false, true}) {
			SCOPED_TRACE(r.argv[0] + (nonblock ? " non-blocking" : " blocking"));
			std::string seen;
			Result res = run_into_full_pipe(r.argv, false, nonblock, 20000, r.prefill,
						      [&](pid_t pid) { seen = confinement(pid); });
			EXPECT_EQ(seen, nonblock ? confined : "NoNewPrivs:\t0 Seccomp:\t1");
			EXPECT_EQ(res.status, 0);
			EXPECT_TRUE(res.out == r.prefill + r.out) << res.out.size();
		}
	}
}

// A child of pid running the tool, or 0. (The tracer starts short-lived probes of its
// own first.)
static pid_t child_of(pid_t pid, const std::string &tool)
{
	std::string parent = "PPid:\t" + std::to_string(pid);
	DIR *d = opendir("/proc");
	pid_t kid = 0;
	while (dirent *e = d && !kid ? readdir(d) : nullptr)
		if (pid_t p = atoi(e->d_name); p > 0 && status_line(p, "PPid") == parent &&
		    status_line(p, "Name") == "Name:\t" + tool)
			kid = p;
	if (d)
		closedir(d);
	return kid;
}

// pkill is held on its way into the /proc listing by a delay the tracer adds. This
// program is the init of a private PID namespace: the name matches nothing there.
TEST(Confine, PkillHeldInTheScan)
{
	if (!confine_enabled)
		GTEST_SKIP() << "built with KAVRO_CONFINE=OFF";
	pid_t tracer = spawn({"strace", "-qq", "-o", "/dev/null", "-e", "trace=getdents64", "-e",
			      "inject=getdents64:delay_enter=2000000", tool_path("pkill"), "kvconfined"});
	pid_t pid = 0;
	EXPECT_TRUE(wait_until([&] { return (pid = child_of(tracer, "pkill")) > 0; })) << "no tracee";
	EXPECT_EQ(confinement(pid), confined);
	int st = 0;
	waitpid(tracer, &st, 0);
	EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 1) << "wait status " << st;
}

// A kernel or sandbox that refuses either call leaves the tool working, and silent.
TEST(Confine, RefusedLockRunsUnconfined)
{
	const std::string refusals[] = {
		"inject=seccomp:error=ENOSYS",
		"inject=seccomp:error=EINVAL",
		"inject=prctl,seccomp:error=EPERM",
		"inject=seccomp:error=EACCES",
		"inject=prctl:error=EINVAL",
	};
	for (auto &inject : refusals) {
		SCOPED_TRACE(inject);
		auto traced = [&](std::vector<std::string> argv) {
			argv.insert(argv.begin(), {"strace", "-qq", "-o", "/dev/null", "-e", inject});
			return argv;
		};
		Result r = run_cmd(traced({tool_path("jq"), ".a"}), "{\"a\":[1]}"); // strict mode
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(r.out, "[1]\n");
		EXPECT_EQ(r.err, "");
		r = run_cmd(traced({tool_path("pkill"), "kvrefused"})); // a filter; nothing matches
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.out + r.err, "");
	}
}
