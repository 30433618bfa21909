// curl against the fake resolver and a scriptable HTTP server, and against nginx, all
// inside the test's private network namespace.
#include "fake_dns.hpp"
#include "harness.hpp"

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

// A scriptable HTTP server on one address: for each connection it records the request
// (everything up to the blank line), sends the reply, then closes in order or, with
// reset, aborts the connection (SO_LINGER 0 sends a reset). With early, it answers and
// resets without waiting for the request.
class fake_http : public fake_server<std::string> {
public:
	struct script {
		std::string reply;
		bool reset = false;
		bool early = false;
	};

	fake_http(const std::string &addr, uint16_t port, script s) : act(std::move(s))
	{
		int l = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
		int one = 1;
		setsockopt(l, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
		sockaddr_in sa{};
		sa.sin_family = AF_INET;
		sa.sin_port = htons(port);
		inet_pton(AF_INET, addr.c_str(), &sa.sin_addr);
		if (bind(l, reinterpret_cast<sockaddr *>(&sa), sizeof sa) || listen(l, 8))
			throw std::runtime_error("fake_http: cannot listen on " + addr);
		start(l, [this] {
			int c = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
			if (c >= 0)
				answer(c);
		});
	}

	~fake_http() { stop(); }

	std::vector<std::string> requests() { return seen(); }

private:

	void answer(int c)
	{
		std::string req;
		char b[4096];
		while (!act.early && req.find("\r\n\r\n") == std::string::npos) {
			pollfd p{c, POLLIN, 0};
			ssize_t n = poll(&p, 1, 5000) == 1 ? read(c, b, sizeof b) : 0;
			if (n <= 0)
				break;
			req.append(b, size_t(n));
		}
		record(req);
		for (size_t at = 0; at < act.reply.size();) {
			ssize_t n = write(c, act.reply.data() + at, act.reply.size() - at);
			if (n <= 0)
				break;
			at += size_t(n);
		}
		if (act.reset) {
			// Let the bytes sent reach the client before the reset overtakes them.
			for (int queued = 1, i = 0; queued > 0 && i < 500; i++)
				if (ioctl(c, SIOCOUTQ, &queued) || queued)
					usleep(2000);
			usleep(100000);
			linger off{1, 0};
			setsockopt(c, SOL_SOCKET, SO_LINGER, &off, sizeof off);
		}
		close(c);
	}

	script act;
};

// A resolver that answers every A query with one address.
static dns_answer answer_with(const dns_query &q, const std::string &addr)
{
	return dns_answer{{dns_reply(q.data, {{1, ipv4(addr)}})}, {}};
}

static std::string request_for(const std::string &path, const std::string &host)
{
	return "GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
}

static std::string some_bytes(size_t n, unsigned seed)
{
	std::mt19937 gen(seed);
	std::string s(n, '\0');
	for (auto &c : s)
		c = char(gen());
	return s;
}

static std::string every_byte()
{
	std::string s;
	for (int r = 0; r < 4; r++)
		for (int b = 0; b < 256; b++)
			s += char(b);
	return "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n" + s + std::string(100, '\0');
}

static const std::string page404 =
	"HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 24\r\n\r\n<h1>404 Not Found</h1>\r\n";
static const std::string banner =
	"kavro-curl 2.0 pure ASM \xc2\xb7 HTTP GET tolvak \xc2\xb7 DNS+TCP \xc2\xb7 NO children \xc2\xb7 "
	"LINEAR QIRVA/NUVEK/TOKSAVIM\n";

// The exchange: exact request, the response passed through byte for byte, and the exit
// status telling an orderly close from a failure.
TEST(Http, Exchanges)
{
	std::string big = "HTTP/1.0 200 OK\r\n\r\n" + some_bytes(6 << 20, 1);
	std::string part = "HTTP/1.0 200 OK\r\n\r\n" + some_bytes(300000, 2);
	struct {
		const char *why, *url;
		uint16_t server_port; // 0: nothing listens
		fake_http::script script;
		int status;
		std::string out, request;
	} rows[] = {
		{"404 page, host without the port", "http://box:8080/a?b=1", 8080, {page404}, 0, page404,
		 request_for("/a?b=1", "box")},
		{"default port and path", "http://box", 80, {"HTTP/1.0 200 OK\r\n\r\nhi\n"}, 0,
		 "HTTP/1.0 200 OK\r\n\r\nhi\n", request_for("/", "box")},
		{"every byte value", "http://box/bin", 80, {every_byte()}, 0, every_byte(),
		 request_for("/bin", "box")},
		{"several MiB", "http://box/big", 80, {big}, 0, big, request_for("/big", "box")},
		{"close without data", "http://box/", 80, {""}, 0, "", request_for("/", "box")},
		{"reset mid-body", "http://box/", 80, {part, true}, 1, part, request_for("/", "box")},
		{"reset before the request", "http://box/", 80, {page404, true, true}, 1, page404, ""},
		{"port 0", "http://box:/a", 0, {}, 1, "", ""},
		{"nothing listening", "http://box:8081/a", 0, {}, 1, "", ""},
	};
	fake_dns dns([](const dns_query &q) { return answer_with(q, "192.0.2.80"); });
	for (auto &r : rows) {
		std::unique_ptr<fake_http> web;
		if (r.server_port)
			web = std::make_unique<fake_http>("192.0.2.80", r.server_port, r.script);
		std::vector<std::string> cmd = {tool_path("curl"), "-s", r.url};
		// Holding curl between its connect and its request lets the reset arrive first.
		if (r.script.early)
			cmd.insert(cmd.begin(), {"strace", "-qq", "-o", "/dev/null", "-e",
						 "inject=connect:delay_exit=1000000:when=2"});
		Result res = run_cmd(cmd);
		EXPECT_EQ(res.status, r.status) << r.why;
		EXPECT_TRUE(res.out == r.out) << r.why << ": " << res.out.size() << " bytes, want " << r.out.size();
		EXPECT_EQ(res.err, "") << r.why;
		if (web) {
			auto seen = web->requests();
			ASSERT_EQ(seen.size(), 1u) << r.why;
			EXPECT_EQ(escape(seen[0]), escape(r.request)) << r.why;
		}
	}
}

// A 1 MiB body into a pipe whose reader has fallen behind: stopped and continued while
// its write is blocked, curl sees that write cut short; on a non-blocking pipe it is
// told to wait. Either way every byte must arrive, in order.
TEST(Http, FullPipes)
{
	std::string page = "HTTP/1.0 200 OK\r\n\r\n" + some_bytes(1 << 20, 4);
	struct {
		const char *why;
		bool stop, nonblock;
	} rows[] = {
		{"stopped and continued while blocked", true, false},
		{"non-blocking pipe", false, true},
	};
	fake_dns dns([](const dns_query &q) { return answer_with(q, "192.0.2.50"); });
	for (auto &r : rows) {
		fake_http web("192.0.2.50", 80, {page});
		Result res = run_into_full_pipe({tool_path("curl"), "http://p.test/"}, r.stop, r.nonblock);
		EXPECT_FALSE(res.timed_out) << r.why;
		EXPECT_EQ(res.status, 0) << r.why;
		EXPECT_TRUE(res.out == page) << r.why << ": " << res.out.size() << " bytes, want " << page.size();
	}
}

// With standard output or error closed the socket could take its number, and with it
// the response would go back to the server: no connection is made, and the run fails,
// also where the socket would take another number (standard input closed too).
TEST(Http, ClosedStandardOutputOrError)
{
	fake_dns dns([](const dns_query &q) { return answer_with(q, "192.0.2.60"); });
	for (std::string redirect : {">&-", "2>&-", "<&- >&-"}) {
		fake_http web("192.0.2.60", 80, {"HTTP/1.0 200 OK\r\n\r\nx"});
		Result res = run_cmd({"/bin/sh", "-c", "exec \"$0\" http://c.test/ " + redirect, tool_path("curl")});
		EXPECT_EQ(res.status, 1) << redirect;
		EXPECT_EQ(res.out, "") << redirect;
		EXPECT_TRUE(web.requests().empty()) << redirect;
	}
}

// Only the first usable A record counts; each row's server listens on 192.0.2.10 alone,
// so a wrong pick finds nobody and fails.
TEST(Resolve, PicksTheFirstUsableARecord)
{
	using maker = std::function<bytes(const bytes &)>;
	struct {
		const char *why;
		maker reply;
		int status;
	} rows[] = {
		{"CNAME then A",
		 [](const bytes &q) { return dns_reply(q, {{5, wire_name("alias.test")}, {1, ipv4("192.0.2.10")}}); }, 0},
		{"two A records",
		 [](const bytes &q) { return dns_reply(q, {{1, ipv4("192.0.2.10")}, {1, ipv4("192.0.2.11")}}); }, 0},
		{"RDLENGTH 16 before a good A",
		 [](const bytes &q) { return dns_reply(q, {{1, bytes(16, 7)}, {1, ipv4("192.0.2.10")}}); }, 0},
		{"wrong ID",
		 [](const bytes &q) {
			 bytes r = dns_reply(q, {{1, ipv4("192.0.2.10")}});
			 r[0] ^= 0xff;
			 return r;
		 }, 0},
		{"error RCODE with an A record", [](const bytes &q) { return dns_reply(q, {{1, ipv4("192.0.2.10")}}, -1, 2); }, 0},
		{"ANCOUNT 0", [](const bytes &q) { return dns_reply(q, {}); }, 1},
		{"NXDOMAIN", [](const bytes &q) { return dns_reply(q, {}, -1, 3); }, 1},
		{"12-byte reply",
		 [](const bytes &q) {
			 bytes r = dns_reply(q, {{1, ipv4("192.0.2.10")}});
			 r.resize(12);
			 return r;
		 }, 1},
		{"only an AAAA record", [](const bytes &q) { return dns_reply(q, {{28, bytes(16, 1)}}); }, 1},
	};
	const std::string page = "HTTP/1.0 200 OK\r\n\r\nok\n";
	bytes want_query = {0x44, 0x33, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0};
	bytes name = wire_name("web.test");
	want_query.insert(want_query.end(), name.begin(), name.end());
	want_query.insert(want_query.end(), {0, 1, 0, 1});
	for (auto &r : rows) {
		fake_dns dns([&](const dns_query &q) { return dns_answer{{r.reply(q.data)}, {}}; });
		fake_http web("192.0.2.10", 80, {page});
		Result res = run_tool("curl", {"http://web.test./x"});
		EXPECT_EQ(res.status, r.status) << r.why;
		EXPECT_EQ(res.out, r.status ? "" : page) << r.why;
		EXPECT_EQ(web.requests().size(), r.status ? 0u : 1u) << r.why;
		auto q = dns.queries();
		ASSERT_EQ(q.size(), 1u) << r.why;
		EXPECT_EQ(q[0].data, want_query) << r.why;
		EXPECT_EQ(q[0].dst, KAVRO_RESOLVER) << r.why;
	}
}

// Options and URLs decided before the network: which hosts, if any, are looked up.
TEST(Args, LookupsMadeOrNot)
{
	struct {
		std::vector<std::string> args;
		int status;
		std::string out;
		std::vector<std::string> hosts; // names queried, in order
	} rows[] = {
		{{"http://a.test/", "-V"}, 0, banner, {}},
		{{"http://a.test/", "http://b.test/"}, 0, "x", {"b.test"}},
		{{"-s", "-v", "http://b.test:80/"}, 0, "x", {"b.test"}},
		{{"http://a..test/"}, 1, "", {}},
		{{"http://" + std::string(64, 'a') + ".test/"}, 1, "", {}},
		{{"http://127.0.0.1/"}, 0, "x", {"127.0.0.1"}},
	};
	for (auto &r : rows) {
		fake_dns dns([](const dns_query &q) { return answer_with(q, "192.0.2.20"); });
		fake_http web("192.0.2.20", 80, {"x"});
		Result res = run_tool("curl", r.args);
		EXPECT_EQ(res.status, r.status) << r.args[0];
		EXPECT_EQ(res.out, r.out) << r.args[0];
		std::vector<std::string> hosts;
		for (auto &q : dns.queries()) {
			bytes name(q.data.begin() + 12, q.data.end() - 4);
			for (auto &h : {"a.test", "b.test", "127.0.0.1"})
				if (name == wire_name(h))
					hosts.push_back(h);
		}
		EXPECT_EQ(hosts, r.hosts) << r.args[0];
		EXPECT_EQ(web.requests().size(), r.status || r.hosts.empty() ? 0u : 1u) << r.args[0];
	}
}

// The longest URL taken is fetched whole; one byte more and nothing is looked up.
TEST(Hostile, UrlOf1023And1024Bytes)
{
	std::string host = std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." +
			   std::string(57, 'd');
	std::string path = "/" + std::string(766, 'p');
	std::string url = "http://" + host + path;
	ASSERT_EQ(url.size(), 1023u);
	for (auto &u : {url, url + "p"}) {
		fake_dns dns([](const dns_query &q) { return answer_with(q, "192.0.2.30"); });
		fake_http web("192.0.2.30", 80, {"ok"});
		Result res = run_tool("curl", {u});
		bool taken = u.size() == 1023;
		EXPECT_EQ(res.status, taken ? 0 : 1);
		EXPECT_EQ(res.out, taken ? "ok" : "");
		EXPECT_EQ(dns.queries().size(), taken ? 1u : 0u);
		auto seen = web.requests();
		ASSERT_EQ(seen.size(), taken ? 1u : 0u);
		if (taken) {
			EXPECT_EQ(seen[0], request_for(path, host));
		}
	}
}

// A small fetch makes the calls the job needs and no others: one look whether standard
// output and error are open, the DNS exchange, one connection, the request in one
// write, reads of at most 64 KiB, each written out.
TEST(Http, SystemCallsOfASmallFetch)
{
	fake_dns dns([](const dns_query &q) { return answer_with(q, "192.0.2.40"); });
	fake_http web("192.0.2.40", 80, {"HTTP/1.0 200 OK\r\n\r\nsmall\n"});
	std::vector<Syscall> calls;
	Result res = run_traced("curl", {"http://s.test/"}, calls);
	EXPECT_EQ(res.status, 0);
	EXPECT_EQ(res.out, "HTTP/1.0 200 OK\r\n\r\nsmall\n");
	std::vector<std::string> want = {"poll", "socket", "connect", "setsockopt", "sendto", "recvfrom", "close",
					 "socket", "connect", "write", "read", "write", "read", "close", "exit"};
	EXPECT_EQ(call_names(calls), want);
	ASSERT_EQ(calls.size(), want.size());
	EXPECT_EQ(calls[0].args[1], 2u);
	EXPECT_EQ(calls[0].args[2], 0u);
	EXPECT_EQ(calls[9].args[2], request_for("/", "s.test").size());
	EXPECT_EQ(calls[10].args[2], 65536u);
	EXPECT_EQ(calls[11].args[0], 1u);
	EXPECT_EQ(int64_t(calls[11].args[2]), calls[10].ret);
	EXPECT_EQ(calls[12].ret, 0);
}

// nginx serving static files on 127.0.0.1:8080, from a config in a temp folder. It runs
// as the namespace's root: without root the test's user namespace maps no other user
// that nginx could hand its folders to.
class Nginx : public testing::Test {
protected:
	void SetUp() override
	{
		REQUIRE_PEER("nginx");
		dir = temp_dir();
		mkdir((dir + "/www").c_str(), 0755);
		std::ofstream(dir + "/nginx.conf")
			<< "daemon off; master_process off; user root root; pid " << dir << "/nginx.pid; error_log " << dir
			<< "/error.log;\nevents { worker_connections 16; }\nhttp { access_log " << dir
			<< "/access.log; client_body_temp_path " << dir << "; proxy_temp_path " << dir
			<< "; fastcgi_temp_path " << dir << "; uwsgi_temp_path " << dir << "; scgi_temp_path "
			<< dir << ";\n  server { listen 127.0.0.1:8080; root " << dir << "/www; } }\n";
		std::string conf = dir + "/nginx.conf", log = dir + "/error.log";
		pid = fork();
		if (pid == 0) {
			for (auto prog : {"nginx", "/usr/sbin/nginx"})
				execlp(prog, "nginx", "-p", dir.c_str(), "-c", conf.c_str(), "-e", log.c_str(), nullptr);
			_exit(127);
		}
		ASSERT_TRUE(listening()) << "nginx did not start; see " << dir << "/error.log";
	}

	void TearDown() override
	{
		if (pid > 0) {
			kill(pid, SIGTERM);
			waitpid(pid, nullptr, 0);
		}
	}

	bool listening()
	{
		for (int i = 0; i < 500; i++) {
			int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
			sockaddr_in sa{};
			sa.sin_family = AF_INET;
			sa.sin_port = htons(8080);
			sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
			bool up = connect(s, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
			close(s);
			if (up)
				return true;
			usleep(10000);
		}
		return false;
	}

	std::string dir;
	pid_t pid = -1;
};

TEST_F(Nginx, BodiesEqualTheFiles)
{
	struct {
		const char *name;
		std::string data;
	} files[] = {
		{"index.html", "<p>hello</p>\n"},
		{"bytes.bin", every_byte()},
		{"big.bin", some_bytes(100 << 20, 3)},
	};
	for (auto &f : files)
		std::ofstream(dir + "/www/" + f.name, std::ios::binary) << f.data;
	fake_dns dns([](const dns_query &q) { return answer_with(q, "127.0.0.1"); });
	for (auto &f : files) {
		Result res = run_tool("curl", {"http://static.test:8080/" + std::string(f.name)}, "", 120000);
		EXPECT_EQ(res.status, 0) << f.name;
		size_t head = res.out.find("\r\n\r\n");
		ASSERT_NE(head, std::string::npos) << f.name;
		EXPECT_EQ(res.out.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << f.name;
		EXPECT_TRUE(res.out.substr(head + 4) == f.data) << f.name << ": body differs";
	}
	Result res = run_tool("curl", {"http://static.test:8080/missing"});
	EXPECT_EQ(res.status, 0);
	EXPECT_EQ(res.out.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
}
