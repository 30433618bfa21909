// A scriptable DNS server for the network tests. It binds 0.0.0.0:53 inside the test's
// namespace (where every IPv4 address is local, so the compiled-in resolver address
// reaches it too), records every query, and answers each with the datagrams its
// handler returns — from the very address the query was sent to.
#pragma once
#include "fake_server.hpp"

#include <cstdint>
#include <string>

using bytes = std::vector<uint8_t>;

struct dns_query {
	bytes data;
	std::string dst;  // the address the query was sent to, dotted
	uint16_t src_port = 0;
};

// What to send for one query: datagrams from the server's address, and optionally
// datagrams from elsewhere (another source port) sent first, as a spoofer would.
struct dns_answer {
	std::vector<bytes> replies;
	std::vector<bytes> spoofed;
};

class fake_dns : public fake_server<dns_query> {
public:
	using handler = std::function<dns_answer(const dns_query &)>;
	explicit fake_dns(handler h);
	~fake_dns();
	std::vector<dns_query> queries() { return seen(); }

private:
	void serve_one();
	handler handle;
	int spoof_fd = -1;
};

// Wire form of a dotted name ("" or "." is the root).
bytes wire_name(const std::string &name);

// A resource record of the answer section; owner defaults to a pointer to the question.
struct rr {
	uint16_t type;
	bytes rdata;
	bytes owner = {0xc0, 0x0c};
	int rdlength = -1; // -1: the real length of rdata
};

// A reply to query: its header with QR set, ANCOUNT (default: the number of
// records), the question copied from the query, then the records.
bytes dns_reply(const bytes &query, const std::vector<rr> &answers, int ancount = -1,
		uint8_t rcode = 0);
bytes ipv4(const std::string &dotted);
