// URL splitting and the A-record walk, over the same code the tool runs.
#include "curl/resolve.hpp"
#include "curl/url.hpp"
#include "dns/dns.hpp"
#include "fake_dns.hpp"
#include "harness.hpp"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

static url_result parse(const std::string &u)
{
	copy_url(u.c_str());
	return parse_url();
}

TEST(ParseUrl, Accepted)
{
	struct {
		std::string url, host;
		unsigned port;
		std::string path;
	} rows[] = {
		{"http://host", "host", 80, "/"},
		{"http://host:8080", "host", 8080, "/"},
		{"http://host:8080/a/b?q=1", "host", 8080, "/a/b?q=1"},
		{"http://host:/a", "host", 0, "/a"},
		{"http://host:70000/", "host", 4464, "/"},
		{"http://host:99999999999/x", "host", 59391, "/x"},
		{"http://host:80x/a", "host", 80, "/"},
		{"http://host:81 x/a", "host", 81, "/"},
		{"http://user@host/", "user@host", 80, "/"},
		{"http://host?q=1", "host?q=1", 80, "/"},
		{"http://Host/%41/../#f[1]", "Host", 80, "/%41/../#f[1]"},
		{"http://h/caf\xc3\xa9", "h", 80, "/caf\xc3\xa9"},
		{"http://[::1]/", "[", 0, "/"},
		{"http:///", "", 80, "/"},
		{"http://", "", 80, "/"},
		{"http://h//a:b", "h", 80, "//a:b"},
	};
	for (auto &r : rows) {
		ASSERT_EQ(parse(r.url), url_result::ok) << r.url;
		EXPECT_EQ(host, r.host) << r.url;
		EXPECT_EQ(port, r.port) << r.url;
		EXPECT_EQ(path, r.path) << r.url;
	}
}

TEST(ParseUrl, Refused)
{
	const std::string bad[] = {"", "HTTP://h/", "http:/h/", "http:h", "ftp://h/", "http//h", "https",
				   "http"};
	for (auto &u : bad)
		EXPECT_EQ(parse(u), url_result::bad) << u;
	for (auto u : {"https://h/", "https:", "https:x"})
		EXPECT_EQ(parse(u), url_result::https) << u;
}

// Every byte that could end the request line or a header, in the host, the path, and
// the path after a port.
TEST(ParseUrl, ControlBytesAndSpacesRefused)
{
	for (int b = 1; b < 0x100; b++) {
		if (b > ' ' && b != 0x7f)
			continue;
		std::string c(1, char(b));
		for (auto u : {"http://a" + c + "b/", "http://h/a" + c, "http://h:80/" + c + "x"})
			EXPECT_EQ(parse(u), url_result::bad) << "byte " << b << " in " << escape(u);
	}
}

TEST(ParseUrl, LengthsRefusedNeverCut)
{
	std::string h255(255, 'h'), p767 = "/" + std::string(766, 'p');
	struct {
		std::string url;
		url_result want;
	} rows[] = {
		{"http://" + h255 + "/", url_result::ok},
		{"http://" + h255 + "h/", url_result::bad},
		{"http://h" + p767, url_result::ok},
		{"http://h" + p767 + "p", url_result::bad},
		{"http://h:1" + p767, url_result::ok},
		{"http://h:1" + p767 + "p", url_result::bad},
		{"http://" + std::string(249, 'h') + p767, url_result::ok}, // 1023 bytes
		{"http://" + std::string(250, 'h') + p767, url_result::bad},
		{"http://h:1/" + std::string(1012, 'x'), url_result::bad},   // 1023, path too long
		{"http://h:1" + std::string(1014, '0'), url_result::bad},    // 1024 bytes
		{"https://h/" + std::string(2000, 'x'), url_result::https},
	};
	for (auto &r : rows) {
		EXPECT_EQ(parse(r.url), r.want) << r.url.size() << " bytes";
		if (r.want == url_result::ok) {
			EXPECT_EQ("http://" + std::string(host) + (port == 80 ? "" : ":1") + path, r.url);
		}
	}
	// A long URL leaves nothing behind for a short one that follows.
	EXPECT_EQ(parse("http://a"), url_result::ok);
	EXPECT_STREQ(host, "a");
	EXPECT_STREQ(path, "/");
}

static bool walk(const bytes &reply)
{
	memset(rpkt, 0x55, rpkt_size);
	std::copy_n(reply.begin(), std::min(reply.size(), rpkt_size), rpkt);
	memset(ip, 0, sizeof ip);
	return first_a(reply.size());
}

// The walk must end at the received bytes, whatever ANCOUNT and RDLENGTH claim (the
// rest of rpkt holds stale bytes that would look like records).
TEST(FirstA, EndsAtTheReceivedBytes)
{
	bytes q = {0x44, 0x33, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 'h', 0, 0, 1, 0, 1};
	bytes good = dns_reply(q, {{5, wire_name("c.test")}, {1, {1, 2, 3, 4}}});
	ASSERT_TRUE(walk(good));
	EXPECT_EQ(bytes(ip, ip + 4), bytes({1, 2, 3, 4}));
	for (size_t n = 0; n < good.size(); n++)
		EXPECT_FALSE(walk(bytes(good.begin(), good.begin() + n))) << n << " bytes";
	struct {
		const char *why;
		bytes reply;
	} rows[] = {
		{"more answers claimed than sent", dns_reply(q, {{5, wire_name("c.test")}}, 9)},
		{"A record past ANCOUNT", dns_reply(q, {{5, wire_name("c.test")}, {1, {1, 2, 3, 4}}}, 1)},
		{"type 257, not A", dns_reply(q, {{257, {1, 2, 3, 4}}})},
		{"RDLENGTH past the end", dns_reply(q, {{16, {1, 2}, {0xc0, 0x0c}, 600}, {1, {1, 2, 3, 4}}})},
		{"A record of 3 bytes", dns_reply(q, {{1, {1, 2, 3}}})},
		{"A record of 5 bytes", dns_reply(q, {{1, {1, 2, 3, 4, 5}}})},
		{"owner name without end", dns_reply(q, {{1, {1, 2, 3, 4}, {63}}})},
		{"question name without end", bytes({0x44, 0x33, 0x81, 0x80, 0, 1, 0, 1, 0, 0, 0, 0, 5, 'a'})},
	};
	for (auto &r : rows)
		EXPECT_FALSE(walk(r.reply)) << r.why;
}
