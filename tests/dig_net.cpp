// dig against the scriptable fake resolver, inside a private network namespace: the
// query on the wire and where it goes, every record form byte for byte with its write
// calls, hostile and malformed replies, spoofing, silence and refused names.
#include "fake_dns.hpp"
#include "harness.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

struct lookup {
	Result r;
	std::vector<dns_query> sent;
	std::string writes;
	std::vector<std::string> calls;
};

// Runs dig under strace while the fake answers every query with reply(query).
static lookup dig(const std::vector<std::string> &args,
		  std::function<dns_answer(const dns_query &)> reply)
{
	fake_dns dns(std::move(reply));
	lookup l;
	std::vector<Syscall> calls;
	l.r = run_traced("dig", args, calls);
	l.sent = dns.queries();
	for (auto &w : write_sizes(calls))
		l.writes += (l.writes.empty() ? "" : " ") + w;
	l.calls = call_names(calls);
	return l;
}

static std::function<dns_answer(const dns_query &)> answer(const std::vector<rr> &records,
							   int ancount = -1, uint8_t rcode = 0)
{
	return [=](const dns_query &q) { return dns_answer{{dns_reply(q.data, records, ancount, rcode)}, {}}; };
}

static std::function<dns_answer(const dns_query &)> raw(const bytes &reply)
{
	return [=](const dns_query &) { return dns_answer{{reply}, {}}; };
}

static bytes cat(std::initializer_list<bytes> parts)
{
	bytes b;
	for (auto &p : parts)
		b.insert(b.end(), p.begin(), p.end());
	return b;
}

// The bytes of a literal, embedded zero bytes included.
template <size_t N>
static bytes str(const char (&s)[N])
{
	return bytes(s, s + N - 1);
}

static bytes query(const std::string &name, uint16_t type)
{
	return cat({{0x44, 0x33, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0}, wire_name(name), {uint8_t(type >> 8), uint8_t(type), 0, 1}});
}

TEST(Query, BytesAndDestination)
{
	std::string l63(63, 'q');
	struct {
		std::vector<std::string> args;
		bytes want;
		std::string dst = KAVRO_RESOLVER; // the compiled-in resolver
	} rows[] = {
		{{"MX", "ab.cde"}, {0x44, 0x33, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 2, 'a', 'b', 3, 'c', 'd', 'e', 0, 0, 15, 0, 1}},
		{{"ab.cde.", "MX"}, query("ab.cde", 15)},
		{{"."}, {0x44, 0x33, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1}},
		{{"AAAA", ""}, query("", 28)},
		{{l63}, query(l63, 1)},
		{{l63 + ".x." + l63, "TXT"}, query(l63 + ".x." + l63, 16)},
		{{"MiXeD.TeSt", "NS"}, query("MiXeD.TeSt", 2)},
		{{"A", "MX", "CNAME", "h.test"}, query("h.test", 5)},
		{{"first.test", "second.test"}, query("second.test", 1)},
		{{"mx", "h.test"}, query("h.test", 1)},
		{{"Aaaa"}, query("Aaaa", 1)},
		{{"-V", "h.test"}, query("h.test", 1)},
		{{"-x", "192.0.2.1"}, query("192.0.2.1", 1)},
		{{"+short", "+anything", "h.test"}, query("h.test", 1)},
		{{"h.test", "@1.2"}, query("h.test", 1), "1.2.0.0"},
		{{"h.test", "@1:53"}, query("h.test", 1), "1.0.0.0"},
		{{"@10.0.0.1:53", "h.test"}, query("h.test", 1), "10.0.0.1"},
		{{"h.test", "@300.1.1.1"}, query("h.test", 1), "44.1.1.1"},
		{{"h.test", "@1..2"}, query("h.test", 1), "1.0.2.0"},
		{{"h.test", "@4294967297.2.3.4.5"}, query("h.test", 1), "1.2.3.4"},
		{{"@9.9.9.9", "h.test", "@192.0.2.53"}, query("h.test", 1), "192.0.2.53"},
	};
	for (auto &r : rows) {
		lookup l = dig(r.args, answer({}));
		SCOPED_TRACE(r.args.back());
		EXPECT_EQ(l.r.status, 1);
		ASSERT_EQ(l.sent.size(), 1u);
		EXPECT_EQ(l.sent[0].data, r.want);
		EXPECT_EQ(l.sent[0].dst, r.dst);
	}
}

TEST(Query, UnspecifiedResolverAddress)
{
	// "@x" and "@" give 0.0.0.0, which the kernel takes as this host: the query
	// arrives at 127.0.0.1, not at whatever a wrong parse of those texts would give.
	for (const char *at : {"@x", "@"}) {
		lookup l = dig({"h.test", at}, answer({{1, ipv4("192.0.2.1")}}));
		EXPECT_EQ(l.r.out, "192.0.2.1\n");
		ASSERT_EQ(l.sent.size(), 1u);
		EXPECT_EQ(l.sent[0].dst, "127.0.0.1");
	}
}

// A name of the given label sizes ('a', 'b', ... per label), uncompressed.
static bytes labels(std::initializer_list<int> sizes)
{
	bytes w;
	char c = 'a';
	for (int n : sizes) {
		w.push_back(uint8_t(n));
		w.insert(w.end(), size_t(n), uint8_t(c++));
	}
	w.push_back(0);
	return w;
}

static std::string dotted(std::initializer_list<int> sizes)
{
	std::string s;
	char c = 'a';
	for (int n : sizes)
		s += (s.empty() ? "" : ".") + std::string(size_t(n), c++);
	return s;
}

struct record_case {
	std::string type;
	std::vector<rr> records;
	std::string out, writes;
	int ancount = -1;
	uint8_t rcode = 0;
};

static void check(const std::vector<record_case> &rows)
{
	for (auto &r : rows) {
		lookup l = dig({r.type, "h.test"}, answer(r.records, r.ancount, r.rcode));
		SCOPED_TRACE(r.type + " -> " + escape(r.out));
		EXPECT_EQ(escape(l.r.out), escape(r.out));
		EXPECT_EQ(l.r.err, "");
		EXPECT_EQ(l.r.status, r.out.empty() ? 1 : 0);
		EXPECT_EQ(l.writes, r.writes);
	}
}

static const bytes aaaa_doc = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
static const std::string aaaa_writes = "2 2 1 2 2 1 2 2 1 2 2 1 2 2 1 2 2 1 2 2 1 2 2 1";

TEST(Records, AddressForms)
{
	check({
		{"A", {{1, ipv4("192.0.2.1")}}, "192.0.2.1\n", "3 1 1 1 1 1 1 1"},
		{"A", {{1, ipv4("0.10.255.7")}}, "0.10.255.7\n", "1 1 2 1 3 1 1 1"},
		{"A", {{1, ipv4("10.0.0.1")}, {1, ipv4("10.0.0.2")}}, "10.0.0.1\n10.0.0.2\n",
		 "2 1 1 1 1 1 1 1 2 1 1 1 1 1 1 1"},
		{"A", {{1, ipv4("10.0.0.1")}, {1, {1, 2, 3, 4, 5}}, {1, {1, 2, 3}}, {1, ipv4("10.0.0.3")}},
		 "10.0.0.1\n10.0.0.3\n", "2 1 1 1 1 1 1 1 2 1 1 1 1 1 1 1"},
		{"A", {{5, wire_name("c.test")}, {1, ipv4("10.0.0.1")}, {28, aaaa_doc}}, "10.0.0.1\n",
		 "2 1 1 1 1 1 1 1"},
		{"A", {{1, {1, 2, 3, 4, 5}}}, "", ""},
		{"A", {{1, bytes(260, 7)}}, "", ""},
		{"AAAA", {{28, aaaa_doc}}, "2001:0db8:0000:0000:0000:0000:0000:0001\n", aaaa_writes},
		{"AAAA", {{28, bytes(16, 0)}}, "0000:0000:0000:0000:0000:0000:0000:0000\n", aaaa_writes},
		{"AAAA", {{28, bytes(16, 0xfa)}}, "fafa:fafa:fafa:fafa:fafa:fafa:fafa:fafa\n", aaaa_writes},
		{"AAAA", {{28, ipv4("1.2.3.4")}, {1, ipv4("1.2.3.4")}}, "", ""},
	});
}

TEST(Records, NameForms)
{
	check({
		{"NS", {{2, wire_name("ns1.h.test")}, {2, {0xc0, 0x0c}}}, "ns1.h.test\nh.test\n", "10 1 6 1"},
		{"NS", {{2, {0}}}, "\n", "1"},
		{"CNAME", {{5, cat({{3, 'w', 'w', 'w'}, {0xc0, 0x0c}})}}, "www.h.test\n", "10 1"},
		{"CNAME", {{5, {3, 'a', '.', 'b', 2, 1, 0xff, 0}}}, "a.b.\x01\xff\n", "6 1"},
		{"MX", {{15, cat({{0, 10}, wire_name("mail.h.test")})}}, "10 mail.h.test\n", "2 1 11 1"},
		{"MX", {{15, {0xff, 0xff, 0xc0, 0x0c}}, {15, {0, 0, 0}}}, "65535 h.test\n0 \n", "5 1 6 1 1 1 1"},
		{"MX", {{15, {0, 10}}}, "", ""},
		{"MX", {{15, {0, 10}}, {15, cat({{0, 5}, wire_name("m.test")})}}, "5 m.test\n", "1 1 6 1"},
		// Long names are cut after 250 bytes, or 251 when the 250th is a dot.
		{"NS", {{2, labels({63, 63, 63, 63})}}, dotted({63, 63, 63, 58}) + "\n", "250 1"},
		{"NS", {{2, labels({63, 63, 63, 57, 5})}}, dotted({63, 63, 63, 57, 1}) + "\n", "251 1"},
		{"NS", {{2, labels({63, 63, 63, 56, 5})}}, dotted({63, 63, 63, 56, 1}) + "\n", "250 1"},
		// A pointer to offset 256, where the TXT record holds "far"; the same pointer
		// cut in half by the end of the reply.
		{"NS", {{16, cat({bytes(220, 0), wire_name("far")})}, {2, {0xc1, 0x00}}}, "far\n", "3 1"},
		{"NS", {{16, cat({bytes(220, 0), wire_name("far")})}, {2, {0xc1}}}, "", ""},
	});
	// Pointers: 31 are followed, the 32nd ends the name; a pointer to itself gives the
	// empty name. The record's RDATA starts at a known offset: header, question
	// (h.test: 8 + 4 bytes), owner pointer (2) and the fixed fields (10).
	uint8_t rdata = 12 + 12 + 2 + 10;
	std::string a32 = "a";
	for (int i = 0; i < 31; i++)
		a32 += ".a";
	check({
		{"CNAME", {{5, {0xc0, rdata}}}, "\n", "1"},
		{"CNAME", {{5, {1, 'a', 0xc0, rdata}}}, a32 + "\n", "63 1"},
	});
}

TEST(Records, TextForms)
{
	check({
		{"TXT", {{16, str("\2ab\2cd")}}, "\"abcd\"\n", "1 2 2 1 1"},
		{"TXT", {{16, {}}}, "\"\"\n", "1 1 1"},
		{"TXT", {{16, str("\0\3a\"b\0")}}, "\"a\"b\"\n", "1 3 1 1"},
		{"TXT", {{16, str("\12xyz")}}, "\"xyz\"\n", "1 3 1 1"},
		{"TXT", {{16, str("\4xyz")}}, "\"xyz\"\n", "1 3 1 1"},
		{"TXT", {{16, str("\1\\\2\n\x7f")}}, "\"\\\n\x7f\"\n", "1 1 2 1 1"},
		{"TXT", {{16, str("\2ok")}, {16, str("\2ab"), {0xc0, 0x0c}, 200}}, "\"ok\"\n", "1 2 1 1"},
	});
}

// Replies that reach past their own end, or lie: the walk stops at the first record,
// name or pointer that would read past the received bytes; what was printed stays.
TEST(Replies, Malformed)
{
	bytes q = query("h.test", 1);
	bytes one = dns_reply(q, {{1, ipv4("10.0.0.1")}});
	bytes two = dns_reply(q, {{1, ipv4("10.0.0.1")}, {1, ipv4("10.0.0.2")}});
	bytes id = two;
	id[0] = 0x12;
	struct {
		std::string what, type;
		bytes reply;
		std::string out;
	} rows[] = {
		{"ANCOUNT beyond the records", "A", dns_reply(q, {{1, ipv4("10.0.0.1")}}, 5), "10.0.0.1\n"},
		{"ANCOUNT 65535, one record", "A", dns_reply(q, {{1, ipv4("10.0.0.1")}}, 65535), "10.0.0.1\n"},
		{"ANCOUNT 0, records present", "A", dns_reply(q, {{1, ipv4("10.0.0.1")}}, 0), ""},
		{"RDLENGTH past the end", "A", dns_reply(q, {{1, ipv4("10.0.0.1")}, {1, ipv4("10.0.0.2"), {0xc0, 12}, 40}}), "10.0.0.1\n"},
		{"second record cut", "A", bytes(two.begin(), two.end() - 1), "10.0.0.1\n"},
		{"second owner cut", "A", bytes(two.begin(), two.begin() + long(one.size()) + 1), "10.0.0.1\n"},
		{"question runs past", "A", bytes(one.begin(), one.begin() + 20), ""},
		{"pointer past the end", "CNAME", dns_reply(q, {{5, wire_name("ok.test")}, {5, {0xc0, 0xff}}, {5, wire_name("never")}}), "ok.test\n"},
		{"label past the end", "NS", dns_reply(q, {{2, {1, 'n', 0xc0, 0x0c}}, {2, {9, 'x'}}}), "n.h.test\n"},
		{"pointer cut in half", "NS", cat({dns_reply(q, {{2, {1, 'n', 0}}}), {0xc0, 0x0c, 0, 2, 0, 1, 0, 0, 0, 0, 0, 1, 0xc0}}), "n\n"},
		{"MX name past the end", "MX", dns_reply(q, {{15, {0, 5, 0xc0, 0x80}}}), ""},
		{"name runs on beyond RDATA", "CNAME", dns_reply(q, {{5, {4, 'a'}}}), ""},
		{"error RCODE, records kept", "A", dns_reply(q, {{1, ipv4("10.0.0.1")}}, -1, 2), "10.0.0.1\n"},
		{"another ID", "A", id, "10.0.0.1\n10.0.0.2\n"},
	};
	for (auto &r : rows) {
		lookup l = dig({r.type, "h.test"}, raw(r.reply));
		SCOPED_TRACE(r.what);
		EXPECT_EQ(escape(l.r.out), escape(r.out));
		EXPECT_EQ(l.r.status, r.out.empty() ? 1 : 0);
		EXPECT_FALSE(l.r.timed_out);
	}
}

TEST(Replies, ShortAndOversized)
{
	bytes q = query("h.test", 1);
	for (size_t n = 0; n < 12; n++) {
		bytes head = dns_reply(q, {{1, ipv4("10.0.0.1")}});
		lookup l = dig({"h.test"}, raw(bytes(head.begin(), head.begin() + long(n))));
		EXPECT_EQ(l.r.out, "") << n;
		EXPECT_EQ(l.r.status, 1) << n;
	}
	lookup nx = dig({"h.test"}, answer({}, -1, 3));
	EXPECT_EQ(nx.r.status, 1);
	// 3000 bytes of A records: only those wholly inside the first 2048 bytes count.
	std::vector<rr> many(200, rr{1, ipv4("10.0.0.9")});
	bytes big = dns_reply(q, many);
	big.resize(3000);
	size_t whole = (2048 - q.size()) / 16;
	std::string want;
	for (size_t i = 0; i < whole; i++)
		want += "10.0.0.9\n";
	lookup l = dig({"h.test"}, raw(big));
	EXPECT_EQ(l.r.out, want);
}

// Every pointer points forward or to itself: the question's name, each owner name and
// each RDATA name; and a reply of nothing but 0xC0 bytes. Nothing may loop or read past
// the end.
TEST(Replies, HostilePointers)
{
	bytes r = {0x44, 0x33, 0x81, 0x80, 0, 1, 0, 4, 0, 0, 0, 0, 0xc0, 12, 0, 5, 0, 1};
	auto add = [&](bytes owner, bytes rdata) {
		r.insert(r.end(), owner.begin(), owner.end());
		r.insert(r.end(), {0, 5, 0, 1, 0, 0, 0, 1, 0, uint8_t(rdata.size())});
		r.insert(r.end(), rdata.begin(), rdata.end());
	};
	uint8_t at = uint8_t(r.size());
	add({0xc0, at}, {0xc0, uint8_t(at + 12)});                     // both to themselves
	at = uint8_t(r.size());
	add({0xc0, uint8_t(at + 2)}, {0xc0, uint8_t(at + 14 + 12)});   // to TYPE; to the next RDATA
	at = uint8_t(r.size());
	add({0xc0, uint8_t(at + 12)}, {0xc0, uint8_t(at + 12)});       // to RDATA, which is a loop
	add({0xc0, 0xff}, {0xc0, 0xfe});                               // both past the end
	lookup l = dig({"CNAME", "h.test"}, raw(r));
	EXPECT_EQ(escape(l.r.out), "\\n\\n\\n");
	EXPECT_EQ(l.r.status, 0);
	for (const char *type : {"A", "NS", "CNAME", "MX", "TXT", "AAAA"}) {
		lookup c0 = dig({type, "h.test"}, raw(bytes(2048, 0xc0)));
		EXPECT_EQ(c0.r.out, "") << type;
		EXPECT_EQ(c0.r.status, 1) << type;
	}
}

// Datagrams from another address (port 53) and from the resolver's address but another
// port arrive before the real reply; only the real one counts.
TEST(Exchange, SpoofedDatagramsIgnored)
{
	lookup l = dig({"h.test", "@192.0.2.53"}, [](const dns_query &q) {
		bytes spoof = dns_reply(q.data, {{1, ipv4("6.6.6.6")}});
		int s = socket(AF_INET, SOCK_DGRAM, 0);
		int one = 1;
		setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
		sockaddr_in from{AF_INET, htons(53), {}, {}}, to{AF_INET, htons(q.src_port), {}, {}};
		inet_pton(AF_INET, "192.0.2.99", &from.sin_addr);
		inet_pton(AF_INET, q.dst.c_str(), &to.sin_addr);
		EXPECT_EQ(bind(s, reinterpret_cast<sockaddr *>(&from), sizeof from), 0);
		sendto(s, spoof.data(), spoof.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
		close(s);
		return dns_answer{{dns_reply(q.data, {{1, ipv4("192.0.2.7")}})}, {spoof}};
	});
	EXPECT_EQ(l.r.out, "192.0.2.7\n");
	EXPECT_EQ(l.r.status, 0);
}

TEST(Exchange, SilentResolverOneResendThenFailure)
{
	auto t = std::chrono::steady_clock::now();
	lookup l = dig({"MX", "h.test"}, [](const dns_query &) { return dns_answer{}; });
	double took = seconds_since(t);
	EXPECT_GT(took, 9.5);
	EXPECT_LT(took, 13.0);
	EXPECT_EQ(l.r.status, 1);
	EXPECT_EQ(l.r.out + l.r.err, "");
	ASSERT_EQ(l.sent.size(), 2u);
	EXPECT_EQ(l.sent[0].data, query("h.test", 15));
	EXPECT_EQ(l.sent[1].data, l.sent[0].data);
	EXPECT_EQ(l.sent[1].src_port, l.sent[0].src_port);
}

// Stopping and continuing dig while it waits (job control) interrupts the timed wait;
// the answer that comes afterwards must still be taken.
TEST(Exchange, StopAndContinueKeepsWaiting)
{
	fake_dns dns([](const dns_query &q) {
		std::this_thread::sleep_for(std::chrono::milliseconds(1000));
		return dns_answer{{dns_reply(q.data, {{1, ipv4("192.0.2.1")}})}, {}};
	});
	Result r = run_cmd({"bash", "-c", "\"$0\" h.test & sleep 0.3; kill -STOP $!; sleep 0.2; kill -CONT $!; wait $!",
			    tool_path("dig")});
	EXPECT_EQ(r.out, "192.0.2.1\n");
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(dns.queries().size(), 1u);
}

// The refusal ends the run at the first receive: no second query is sent.
TEST(Exchange, NothingListeningFailsAtOnce)
{
	auto t = std::chrono::steady_clock::now();
	std::vector<Syscall> calls;
	Result r = run_traced("dig", {"h.test"}, calls);
	EXPECT_LT(seconds_since(t), 2.0);
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.out + r.err, "");
	EXPECT_EQ(call_names(calls), (std::vector<std::string>{"socket", "connect", "setsockopt", "sendto",
							       "recvfrom", "close", "exit"}));
}

// An A lookup makes exactly these calls, and the socket is closed before printing.
TEST(Exchange, SystemCalls)
{
	lookup l = dig({"h.test"}, answer({{1, ipv4("192.0.2.1")}}));
	std::vector<std::string> want = {"socket", "connect", "setsockopt", "sendto", "recvfrom", "close"};
	want.insert(want.end(), 8, "write");
	want.push_back("exit");
	EXPECT_EQ(l.calls, want);
	EXPECT_EQ(l.writes, "3 1 1 1 1 1 1 1");
}

// Names that cannot be sent as given are refused before any socket exists.
TEST(Exchange, RefusedNamesSendNothing)
{
	std::string l63(63, 'x'), l64(64, 'x');
	std::string wire256 = l63 + "." + l63 + "." + l63 + "." + std::string(62, 'y'); // 254 bytes of text
	const std::string rows[] = {
		std::string(256, 'a'), std::string(300, '.'), l64, "a." + l64 + ".b", "a..b", ".a", "..",
		wire256, wire256 + ".", std::string(1000, 'z'),
	};
	for (auto &name : rows) {
		lookup l = dig({"TXT", name}, answer({{16, str("\2no")}}));
		SCOPED_TRACE(name.size());
		EXPECT_EQ(l.r.status, 1);
		EXPECT_EQ(l.r.out + l.r.err, "");
		EXPECT_TRUE(l.sent.empty());
		EXPECT_EQ(l.calls, std::vector<std::string>{"exit"});
	}
	// The longest name that fits is sent.
	std::string fits = wire256.substr(0, 253);
	lookup l = dig({"TXT", fits}, answer({{16, str("\2ok")}}));
	EXPECT_EQ(l.r.out, "\"ok\"\n");
	ASSERT_EQ(l.sent.size(), 1u);
	EXPECT_EQ(l.sent[0].data, query(fits, 16));
}
