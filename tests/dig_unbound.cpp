// dig against a real resolver: unbound, started inside the test's network namespace on
// every address (so the compiled-in resolver reaches it), serving local records only.
#include "harness.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

static const char config[] = R"(server:
	interface: 0.0.0.0
	port: 53
	verbosity: 0
	rrset-roundrobin: no
	do-daemonize: no
	username: ""
	chroot: ""
	pidfile: ""
	use-syslog: no
	logfile: ""
	do-ip6: no
	module-config: "iterator"
	access-control: 0.0.0.0/0 allow
	local-zone: "kavro.test." static
	local-data: "kavro.test. 300 IN A 192.0.2.10"
	local-data: "kavro.test. 300 IN A 192.0.2.11"
	local-data: "kavro.test. 300 IN AAAA 2001:db8::1"
	local-data: "kavro.test. 300 IN MX 10 mail.kavro.test."
	local-data: 'kavro.test. 300 IN TXT "hello world" "again"'
	local-data: "kavro.test. 300 IN NS ns1.kavro.test."
	local-data: "www.kavro.test. 300 IN CNAME kavro.test."
remote-control:
	control-enable: no
)";

class Unbound : public testing::Test {
protected:
	static pid_t pid;

	static void SetUpTestSuite()
	{
		if (!have_peer("unbound"))
			return;
		std::string dir = temp_dir(), conf = dir + "/unbound.conf";
		std::ofstream(conf) << config;
		pid = fork();
		if (pid == 0) {
			execlp("unbound", "unbound", "-d", "-c", conf.c_str(), nullptr);
			execl("/usr/sbin/unbound", "unbound", "-d", "-c", conf.c_str(), nullptr);
			_exit(127);
		}
		// Poll until it answers: nothing listening fails at once, so this is quick.
		for (int i = 0; i < 200 && run_tool("dig", {"kavro.test"}).status != 0; i++)
			std::this_thread::sleep_for(std::chrono::milliseconds(50));
	}

	static void TearDownTestSuite()
	{
		if (pid > 0) {
			kill(pid, SIGTERM);
			waitpid(pid, nullptr, 0);
		}
	}
};
pid_t Unbound::pid = -1;

TEST_F(Unbound, EveryTypeInItsTerseForm)
{
	REQUIRE_PEER("unbound");
	struct {
		std::vector<std::string> args;
		std::string out;
		int status;
	} rows[] = {
		{{"kavro.test"}, "192.0.2.10\n192.0.2.11\n", 0},
		{{"AAAA", "kavro.test", "@127.0.0.1"}, "2001:0db8:0000:0000:0000:0000:0000:0001\n", 0},
		{{"+short", "MX", "kavro.test"}, "10 mail.kavro.test\n", 0},
		{{"TXT", "kavro.test"}, "\"hello worldagain\"\n", 0},
		{{"NS", "kavro.test"}, "ns1.kavro.test\n", 0},
		{{"CNAME", "www.kavro.test"}, "kavro.test\n", 0},
		{{"A", "nothing.kavro.test"}, "", 1},
		{{"MX", "nothing.kavro.test"}, "", 1},
		{{"AAAA", "www.kavro.test"}, "", 1},
	};
	for (auto &r : rows) {
		Result got = run_tool("dig", r.args, "", 15000);
		SCOPED_TRACE(r.args.back());
		EXPECT_EQ(got.out, r.out);
		EXPECT_EQ(got.status, r.status);
	}
}
