// pkill against real processes. This program always runs as process 1 of a private PID
// namespace with its own /proc (tests/ns-run), so the only processes pkill can see are
// this program, the victims it forks and the tools it starts.
#include "harness.hpp"

#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

static constexpr uid_t nobody = 65534;
// Sent at reaping time to victims pkill left alone; a process that is already dying of
// an earlier fatal signal keeps that one as its cause of death.
static constexpr int untouched = SIGUSR2;

// A child paused under a command name of our choosing until signalled.
struct Victim {
	pid_t pid = -1;

	explicit Victim(const std::string &comm, uid_t uid = 0)
	{
		int p[2];
		if (pipe(p))
			abort();
		pid = fork();
		if (pid == 0) {
			close(p[0]);
			sigset_t all;
			sigemptyset(&all);
			sigprocmask(SIG_SETMASK, &all, nullptr);
			signal(SIGTERM, SIG_DFL);
			signal(untouched, SIG_DFL);
			prctl(PR_SET_PDEATHSIG, SIGKILL);
			if (uid && (setresgid(uid, uid, uid) || setresuid(uid, uid, uid)))
				_exit(1);
			prctl(PR_SET_NAME, comm.c_str());
			char c = 1;
			if (write(p[1], &c, 1) != 1)
				_exit(1);
			for (;;)
				pause();
		}
		close(p[1]);
		char c;
		if (read(p[0], &c, 1) != 1)
			ADD_FAILURE() << "victim " << comm << " did not start";
		close(p[0]);
	}

	// The signal that ended the victim: pkill's, or `untouched`.
	int reap()
	{
		if (pid < 0)
			return -1;
		kill(pid, untouched);
		int st = 0;
		waitpid(pid, &st, 0);
		pid = -1;
		return WIFSIGNALED(st) ? WTERMSIG(st) : -1;
	}

	~Victim() { reap(); }
	Victim(const Victim &) = delete;
	Victim &operator=(const Victim &) = delete;
};

using Victims = std::vector<std::unique_ptr<Victim>>;

static std::vector<int> reap_all(Victims &v)
{
	std::vector<int> sigs;
	for (auto &x : v)
		sigs.push_back(x->reap());
	return sigs;
}

static std::string comm_of(pid_t pid)
{
	std::ifstream f("/proc/" + std::to_string(pid) + "/comm");
	std::string s;
	std::getline(f, s);
	return s;
}

static int count_processes()
{
	int n = 0;
	DIR *d = opendir("/proc");
	while (dirent *e = d ? readdir(d) : nullptr)
		n += std::string(e->d_name).find_first_not_of("0123456789") == std::string::npos;
	if (d)
		closedir(d);
	return n;
}

// The calls of a run as one letter each, for matching their order with a pattern.
static std::string letters(const std::vector<Syscall> &calls)
{
	std::string s;
	for (auto &c : calls) {
		static const std::pair<const char *, char> map[] = {
			{"getpid", 'P'}, {"open", 'O'},  {"getdents64", 'G'}, {"read", 'R'},
			{"close", 'C'},  {"kill", 'K'},  {"write", 'W'},      {"exit", 'X'}};
		char l = '?';
		for (auto &m : map)
			if (c.name == m.first)
				l = m.second;
		s += l;
	}
	return s;
}

static std::vector<std::pair<uint64_t, uint64_t>> kills_of(const std::vector<Syscall> &calls)
{
	std::vector<std::pair<uint64_t, uint64_t>> k;
	for (auto &c : calls_named(calls, "kill"))
		if (c.args.size() == 2)
			k.push_back({c.args[0], c.args[1]});
	return k;
}

TEST(Pkill, RunsAsProcessOneOfItsOwnNamespace) { ASSERT_EQ(getpid(), 1); }

// Options count up to NAME only; of -9 and -15 the last one wins.
TEST(Pkill, SignalChoice)
{
	struct {
		std::vector<std::string> before, after;
		int want;
	} rows[] = {
		{{}, {}, SIGTERM},
		{{"-9"}, {}, SIGKILL},
		{{"-15"}, {}, SIGTERM},
		{{"-9", "-15"}, {}, SIGTERM},
		{{"-15", "-9"}, {}, SIGKILL},
		{{"-v"}, {}, SIGTERM},
		{{"-", "--", "--9", "-15", "-a"}, {}, SIGTERM},
		{{}, {"-9"}, SIGTERM},
		{{"-9"}, {"-15"}, SIGKILL},
		{{}, {"-V"}, SIGTERM},
		{{}, {"other", "-Vx"}, SIGTERM},
	};
	int i = 0;
	for (auto &r : rows) {
		std::string name = "kvsig" + std::to_string(i++);
		SCOPED_TRACE(name);
		Victim victim(name), bystander(name + "x");
		auto args = r.before;
		args.push_back(name);
		args.insert(args.end(), r.after.begin(), r.after.end());
		Result res = run_tool("pkill", args);
		EXPECT_EQ(res.status, 0);
		EXPECT_EQ(res.out + res.err, "");
		EXPECT_EQ(victim.reap(), r.want);
		EXPECT_EQ(bystander.reap(), untouched);
	}
}

// Exact, case-sensitive names; the protected name never; an empty NAME only an empty
// command name.
TEST(Pkill, WhoIsSignalled)
{
	const std::vector<std::string> names = {"kvm", "kvmx", "kv", "Kvm", "kvm ", "tazu", ""};
	struct {
		std::string name;
		int status;
		std::vector<int> want;
	} rows[] = {
		{"kvm", 0, {SIGTERM, untouched, untouched, untouched, untouched, untouched, untouched}},
		{"Kvm", 0, {untouched, untouched, untouched, SIGTERM, untouched, untouched, untouched}},
		{"kvm ", 0, {untouched, untouched, untouched, untouched, SIGTERM, untouched, untouched}},
		{"", 0, {untouched, untouched, untouched, untouched, untouched, untouched, SIGTERM}},
		{"tazu", 1, std::vector<int>(7, untouched)},
		{"kvmxy", 1, std::vector<int>(7, untouched)},
		{"KVM", 1, std::vector<int>(7, untouched)},
	};
	for (auto &r : rows) {
		SCOPED_TRACE("NAME '" + r.name + "'");
		Victims v;
		for (auto &n : names)
			v.push_back(std::make_unique<Victim>(n));
		Result res = run_tool("pkill", {r.name});
		EXPECT_EQ(res.status, r.status);
		EXPECT_EQ(res.out + res.err, "");
		EXPECT_EQ(reap_all(v), r.want);
	}
}

// Process 1's name reaches other processes of that name, never process 1; the tool's
// own name reaches other copies of the tool, never the running one.
TEST(Pkill, NeverItselfNorProcessOne)
{
	for (std::string name : {comm_of(1), std::string("pkill")}) {
		SCOPED_TRACE(name);
		std::vector<Syscall> calls;
		Result alone = run_traced("pkill", {name}, calls);
		EXPECT_EQ(alone.status, 1);
		EXPECT_TRUE(kills_of(calls).empty());

		Victim twin(name);
		Result res = run_traced("pkill", {name}, calls);
		EXPECT_EQ(res.status, 0);
		EXPECT_EQ(kills_of(calls), (std::vector<std::pair<uint64_t, uint64_t>>{
						   {uint64_t(twin.pid), 15}}));
		EXPECT_EQ(twin.reap(), SIGTERM);
	}
}

// One victim among several bystanders: the exact calls of the run, every process of the
// namespace examined with one open, read and close, and one kill.
TEST(Pkill, SystemCalls)
{
	Victims v;
	for (auto n : {"kvseqa", "kvseqb", "kvseqc", "kvseqbb"})
		v.push_back(std::make_unique<Victim>(n));
	int processes = count_processes() + 2; // and strace and pkill
	std::vector<Syscall> calls;
	Result res = run_traced("pkill", {"-9", "kvseqb"}, calls);
	EXPECT_EQ(res.status, 0);
	std::string seq = letters(calls);
	EXPECT_TRUE(std::regex_match(seq, std::regex("PO(G(ORCK?)*)+CX"))) << seq;
	EXPECT_EQ(std::count(seq.begin(), seq.end(), 'R'), processes) << seq;
	EXPECT_EQ(kills_of(calls), (std::vector<std::pair<uint64_t, uint64_t>>{
					   {uint64_t(v[1]->pid), 9}}));
	ASSERT_GE(calls.size(), 3u);
	EXPECT_EQ(calls[calls.size() - 3].ret, 0) << "the last getdents64 ends the listing";
	EXPECT_EQ(reap_all(v), (std::vector<int>{untouched, SIGKILL, untouched, untouched}));
}

// Runs that end before the scan: banner, usage, and a NAME that cannot fit.
TEST(Pkill, NoScan)
{
	struct {
		std::vector<std::string> args;
		int status;
		std::string calls;
	} rows[] = {
		{{}, 2, "PWX"},
		{{"-9", "-15", "--"}, 2, "PWX"},
		{{"-9", "-KILL", "kvnone"}, 2, "PWX"},
		{{"-V"}, 0, "PWX"},
		{{"-9", "-Vx", "kvnone"}, 0, "PWX"},
		{{std::string(256, 'k')}, 1, "PX"},
	};
	for (auto &r : rows) {
		std::vector<Syscall> calls;
		Result res = run_traced("pkill", r.args, calls);
		EXPECT_EQ(res.status, r.status);
		EXPECT_EQ(letters(calls), r.calls);
	}
	std::vector<Syscall> calls;
	EXPECT_EQ(run_traced("pkill", {std::string(255, 'k')}, calls).status, 1);
	EXPECT_TRUE(std::regex_match(letters(calls), std::regex("PO(G(ORC)*)+CX")));
	// A /proc that opens but cannot be listed (a removed directory) is an error, not "no
	// match". (Injected failures are no help here: the confinement kills the skipped call.)
	Result failed = run_cmd({"unshare", "--mount", "sh", "-c",
				 "d=$(mktemp -d) && mount --bind \"$d\" /proc && rmdir \"$d\" && exec \"$0\" kvnone",
				 tool_path("pkill")});
	EXPECT_EQ(failed.status, 2);
	EXPECT_EQ(failed.out + failed.err, "");
}

// Hundreds of candidates listed before the victim, across more than one batch.
TEST(Pkill, VictimListedLate)
{
	Victims fillers;
	for (int i = 0; i < 300; i++)
		fillers.push_back(std::make_unique<Victim>("kvfill"));
	Victim late("kvlate");
	std::vector<Syscall> calls;
	Result res = run_traced("pkill", {"kvlate"}, calls);
	EXPECT_EQ(res.status, 0);
	std::string seq = letters(calls);
	size_t kill_at = seq.find('K');
	ASSERT_NE(kill_at, std::string::npos);
	EXPECT_GE(std::count(seq.begin(), seq.begin() + long(kill_at), 'R'), 300);
	EXPECT_GE(std::count(seq.begin(), seq.end(), 'G'), 3) << "two batches and the end";
	EXPECT_EQ(late.reap(), SIGTERM);
	for (int s : reap_all(fillers))
		ASSERT_EQ(s, untouched);
}

// Signals pkill may not send are failures: status 1 when nobody could be signalled.
TEST(Pkill, Unprivileged)
{
	std::vector<std::string> as_nobody = {"setpriv", "--reuid=65534", "--regid=65534",
					      "--clear-groups"};
	auto probe = as_nobody;
	probe.push_back("true");
	if (run_cmd(probe).status != 0) {
		if (require_all())
			FAIL() << "setpriv to uid 65534 is required (KAVRO_REQUIRE_ALL)";
		GTEST_SKIP() << "cannot switch to uid 65534 here: needs a second real user, which "
				"a user namespace made without root does not have";
	}
	auto cmd = as_nobody;
	cmd.push_back(tool_path("pkill"));
	cmd.push_back("kvroot");
	{
		Victim root("kvroot");
		Result res = run_cmd(cmd);
		EXPECT_EQ(res.status, 1);
		EXPECT_EQ(res.out + res.err, "");
		EXPECT_EQ(root.reap(), untouched);
	}
	Victim root("kvroot"), own("kvroot", nobody);
	EXPECT_EQ(run_cmd(cmd).status, 0);
	EXPECT_EQ(root.reap(), untouched);
	EXPECT_EQ(own.reap(), SIGTERM);

	// A /proc we may not open: status 2, no message.
	Result res = run_cmd({"unshare", "--mount", "sh", "-c",
			      "mount -t tmpfs -o mode=700 none /proc && exec setpriv --reuid=65534 "
			      "--regid=65534 --clear-groups \"$0\" kvroot",
			      tool_path("pkill")});
	EXPECT_EQ(res.status, 2);
	EXPECT_EQ(res.out + res.err, "");
}
