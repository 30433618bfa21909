// The UDP exchange against the fake resolver, inside a private network namespace:
// replies only from the resolver, a bounded wait with one resend, truncation to the
// buffer, and failures.
#include "dns/dns.hpp"
#include "fake_dns.hpp"
#include "harness.hpp"

#include <cstring>
#include <gtest/gtest.h>

static const uint8_t server[4] = {192, 0, 2, 53};

static size_t exchange(const char *name = "h.test")
{
	return do_udp(server, build_query(encode_qname(name), 1));
}

TEST(DoUdp, TakesTheResolversReplyOnly)
{
	fake_dns dns([](const dns_query &q) {
		bytes spoof = dns_reply(q.data, {{1, ipv4("6.6.6.6")}});
		return dns_answer{{dns_reply(q.data, {{1, ipv4("192.0.2.7")}})}, {spoof}};
	});
	size_t got = exchange();
	ASSERT_GT(got, 12u);
	EXPECT_EQ(rpkt[got - 1], 7);
	ASSERT_EQ(dns.queries().size(), 1u);
	EXPECT_EQ(dns.queries()[0].dst, "192.0.2.53");
	bytes sent = dns.queries()[0].data;
	EXPECT_EQ(sent, bytes(pkt, pkt + sent.size()));
}

TEST(DoUdp, DatagramSizes)
{
	struct {
		size_t size;
		size_t want;
	} rows[] = {{1, 1}, {11, 11}, {2048, 2048}, {3000, 2048}, {0, 0}};
	for (auto &r : rows) {
		fake_dns dns([&](const dns_query &) { return dns_answer{{bytes(r.size, 0xab)}, {}}; });
		EXPECT_EQ(exchange(), r.want) << r.size;
	}
}

TEST(DoUdp, SilentResolverGivesUpAfterOneResend)
{
	fake_dns dns([](const dns_query &) { return dns_answer{}; });
	auto t = std::chrono::steady_clock::now();
	EXPECT_EQ(exchange(), 0u);
	double took = seconds_since(t);
	EXPECT_GT(took, 9.5);
	EXPECT_LT(took, 12.0);
	auto q = dns.queries();
	ASSERT_EQ(q.size(), 2u);
	EXPECT_EQ(q[0].data, q[1].data);
	EXPECT_EQ(q[0].src_port, q[1].src_port);
}

TEST(DoUdp, NothingListeningFailsAtOnce)
{
	auto t = std::chrono::steady_clock::now();
	EXPECT_EQ(exchange(), 0u);
	EXPECT_LT(seconds_since(t), 2.0);
}

TEST(DoUdp, AnswerToTheResendIsTaken)
{
	int n = 0;
	fake_dns dns([&](const dns_query &q) {
		if (n++ == 0)
			return dns_answer{};
		return dns_answer{{dns_reply(q.data, {})}, {}};
	});
	EXPECT_GT(exchange(), 12u);
	EXPECT_EQ(dns.queries().size(), 2u);
}
