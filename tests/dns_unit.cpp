// The shared DNS module: name encoding and its refusals, the query layout, and the
// bounded readers over crafted replies.
#include "dns/dns.hpp"
#include "fake_dns.hpp"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

static std::string wire(size_t n) { return std::string(reinterpret_cast<char *>(qwire), n); }

TEST(EncodeQname, Accepted)
{
	std::string l63(63, 'x');
	struct {
		std::string name, want;
	} rows[] = {
		{"ab.cde", "\2ab\3cde"},
		{"ab.cde.", "\2ab\3cde"},
		{"", ""},
		{".", ""},
		{"MiXeD.Case", "\5MiXeD\4Case"},
		{l63, "\x3f" + l63},
		{l63 + ".a", "\x3f" + l63 + "\1a"},
		{"a\x80\xff.b", "\3a\x80\xff\1b"},
	};
	for (auto &r : rows) {
		size_t n = encode_qname(r.name.c_str());
		EXPECT_EQ(wire(n), r.want + std::string(1, '\0')) << r.name;
	}
}

TEST(EncodeQname, Refused)
{
	std::string l63(63, 'x');
	std::string longest = l63 + "." + l63 + "." + l63 + "." + std::string(61, 'y'); // 253 bytes
	const std::string rows[] = {
		"a..b", ".a", "..", "a..", std::string(64, 'x'), l63 + "." + std::string(64, 'x'),
		std::string(256, 'a'), longest + "z", longest + ".z",
	};
	for (auto &r : rows)
		EXPECT_EQ(encode_qname(r.c_str()), 0u) << r.size() << " bytes: " << r.substr(0, 20);
	EXPECT_EQ(encode_qname(longest.c_str()), 255u);
	EXPECT_EQ(encode_qname((longest + ".").c_str()), 255u);
}

TEST(BuildQuery, MxExample)
{
	size_t n = encode_qname("ab.cde");
	ASSERT_EQ(build_query(n, 15), 24u);
	const uint8_t want[] = {0x44, 0x33, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 2, 'a', 'b', 3,
				'c', 'd', 'e', 0, 0, 0x0f, 0, 1};
	EXPECT_EQ(memcmp(pkt, want, sizeof want), 0);
	ASSERT_EQ(build_query(encode_qname("."), 28), 17u);
	EXPECT_EQ(pkt[12], 0);
	EXPECT_EQ(pkt[14], 28);
}

static size_t load(const bytes &b)
{
	memset(rpkt, 0xee, rpkt_size);
	if (!b.empty())
		memcpy(rpkt, b.data(), b.size());
	return b.size();
}

TEST(SkipName, BoundedByReceivedBytes)
{
	struct {
		bytes msg;
		size_t start;
		bool ok;
		size_t end;
	} rows[] = {
		{{1, 'a', 2, 'b', 'c', 0}, 0, true, 6},
		{{0xc0, 0x0c}, 0, true, 2},
		{{0xc1, 0x00}, 0, true, 2},        // a pointer to offset 256
		{{1, 'a', 0xc0, 0x00}, 0, true, 4},
		{{0}, 0, true, 1},
		{{0x3f, 'a', 'b'}, 0, false, 0},   // label runs past the end
		{{1, 'a'}, 0, false, 0},           // no terminator
		{{1, 'a', 0xc0}, 0, false, 0},     // pointer cut in half
		{{}, 0, false, 0},
		{{0x80, 0}, 0, false, 0},          // 0x40..0xbf are label lengths
	};
	for (auto &r : rows) {
		size_t len = load(r.msg), off = r.start;
		EXPECT_EQ(skip_name(len, off), r.ok);
		if (r.ok) {
			EXPECT_EQ(off, r.end);
		}
	}
}

TEST(NextRecord, StopsAtTruncation)
{
	size_t n = encode_qname("h.test");
	bytes q(pkt, pkt + build_query(n, 1));
	bytes full = dns_reply(q, {{1, ipv4("192.0.2.1")}, {1, ipv4("192.0.2.2")}});
	size_t len = load(full);
	uint16_t count;
	size_t off = answer_start(len, count);
	ASSERT_EQ(off, q.size());
	EXPECT_EQ(count, 2);
	record r;
	ASSERT_TRUE(next_record(len, off, r));
	EXPECT_EQ(r.type, 1);
	EXPECT_EQ(r.rdlength, 4);
	EXPECT_EQ(rpkt[r.rdata + 3], 1);
	// Every cut inside the second record ends the walk there.
	for (size_t cut = off; cut < full.size(); cut++) {
		size_t o = off;
		EXPECT_FALSE(next_record(load(bytes(full.begin(), full.begin() + cut)), o, r)) << cut;
	}
	EXPECT_TRUE(next_record(load(full), off, r));
	EXPECT_EQ(off, full.size());
	for (size_t short_len = 0; short_len < q.size(); short_len++)
		EXPECT_EQ(answer_start(load(bytes(full.begin(), full.begin() + short_len)), count), 0u);
	// The last received byte alone is no 16-bit field.
	EXPECT_FALSE(get_u16(load(full), full.size() - 1, count));
}
