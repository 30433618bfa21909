#include "fake_dns.hpp"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

static int udp_socket(uint16_t port)
{
	int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	int one = 1;
	setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
	setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
	sockaddr_in sa{};
	sa.sin_family = AF_INET;
	sa.sin_port = htons(port);
	if (bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa))
		throw std::runtime_error("fake_dns: cannot bind port " + std::to_string(port));
	return fd;
}

fake_dns::fake_dns(handler h) : handle(std::move(h))
{
	int query_fd = udp_socket(53);
	spoof_fd = udp_socket(5353);
	start(query_fd, [this] { serve_one(); });
}

fake_dns::~fake_dns()
{
	stop();
	close(spoof_fd);
}

// Sends buf to peer from the local address dst (IP_PKTINFO), through socket s.
static void send_from(int s, const bytes &buf, const sockaddr_in &peer, in_addr dst)
{
	char ctl[CMSG_SPACE(sizeof(in_pktinfo))] = {};
	iovec iov{const_cast<uint8_t *>(buf.data()), buf.size()};
	msghdr m{};
	m.msg_name = const_cast<sockaddr_in *>(&peer);
	m.msg_namelen = sizeof peer;
	m.msg_iov = &iov;
	m.msg_iovlen = 1;
	m.msg_control = ctl;
	m.msg_controllen = sizeof ctl;
	cmsghdr *c = CMSG_FIRSTHDR(&m);
	c->cmsg_level = IPPROTO_IP;
	c->cmsg_type = IP_PKTINFO;
	c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
	in_pktinfo pi{};
	pi.ipi_spec_dst = dst;
	memcpy(CMSG_DATA(c), &pi, sizeof pi);
	sendmsg(s, &m, 0);
}

void fake_dns::serve_one()
{
	uint8_t buf[4096];
	char ctl[256];
	sockaddr_in peer{};
	iovec iov{buf, sizeof buf};
	msghdr m{};
	m.msg_name = &peer;
	m.msg_namelen = sizeof peer;
	m.msg_iov = &iov;
	m.msg_iovlen = 1;
	m.msg_control = ctl;
	m.msg_controllen = sizeof ctl;
	ssize_t n = recvmsg(fd, &m, 0);
	if (n < 0)
		return;
	in_addr dst{};
	for (cmsghdr *c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c))
		if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
			dst = reinterpret_cast<in_pktinfo *>(CMSG_DATA(c))->ipi_addr;
	dns_query q{bytes(buf, buf + n), inet_ntoa(dst), ntohs(peer.sin_port)};
	record(q);
	dns_answer a = handle(q);
	for (auto &d : a.spoofed)
		send_from(spoof_fd, d, peer, dst);
	for (auto &d : a.replies)
		send_from(fd, d, peer, dst);
}

bytes wire_name(const std::string &name)
{
	bytes w;
	size_t i = 0;
	while (i < name.size()) {
		size_t dot = name.find('.', i);
		if (dot == std::string::npos)
			dot = name.size();
		if (dot > i) {
			w.push_back(uint8_t(dot - i));
			w.insert(w.end(), name.begin() + i, name.begin() + dot);
		}
		i = dot + 1;
	}
	w.push_back(0);
	return w;
}

static void put16(bytes &b, unsigned v)
{
	b.push_back(uint8_t(v >> 8));
	b.push_back(uint8_t(v));
}

bytes dns_reply(const bytes &query, const std::vector<rr> &answers, int ancount, uint8_t rcode)
{
	bytes r(query.begin(), query.begin() + std::min<size_t>(query.size(), 12));
	r.resize(12);
	r[2] = 0x81;
	r[3] = uint8_t(0x80 | rcode);
	r[6] = uint8_t((ancount < 0 ? answers.size() : size_t(ancount)) >> 8);
	r[7] = uint8_t(ancount < 0 ? answers.size() : size_t(ancount));
	r.insert(r.end(), query.begin() + std::min<size_t>(query.size(), 12), query.end());
	for (auto &a : answers) {
		r.insert(r.end(), a.owner.begin(), a.owner.end());
		put16(r, a.type);
		put16(r, 1);
		r.insert(r.end(), {0, 0, 1, 0x2c});
		put16(r, a.rdlength < 0 ? unsigned(a.rdata.size()) : unsigned(a.rdlength));
		r.insert(r.end(), a.rdata.begin(), a.rdata.end());
	}
	return r;
}

bytes ipv4(const std::string &dotted)
{
	in_addr a{};
	inet_pton(AF_INET, dotted.c_str(), &a);
	auto *p = reinterpret_cast<uint8_t *>(&a);
	return bytes(p, p + 4);
}
