// The one DNS message module of the kit, shared by dig and curl: name encoding, query
// building, the UDP exchange with the resolver, and bounded reading of the reply.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t qwire_size = 256;
constexpr size_t pkt_size = 512;
constexpr size_t rpkt_size = 2048;
constexpr size_t max_name_text = 255; // bytes of name text, without the zero byte
constexpr size_t max_label = 63;
constexpr size_t max_wire = 255;      // wire form of a name, root byte included

// Record types (QTYPE and TYPE numbers) the kit asks for and prints.
enum : uint16_t {
	type_a = 1, type_ns = 2, type_cname = 5, type_mx = 15, type_txt = 16, type_aaaa = 28,
};
constexpr uint16_t class_in = 1;

// Message layout: a fixed header, then the question (a name, QTYPE and QCLASS), then
// the answer records (a name, then TYPE, CLASS, TTL and RDLENGTH ahead of RDATA).
constexpr size_t header_size = 12;
constexpr size_t ancount_at = 6;      // the one header field the readers use
constexpr size_t question_tail = 4;   // QTYPE and QCLASS after the question's name
constexpr size_t rdlength_at = 8;     // from the end of a record's name
constexpr size_t rr_fixed = 10;       // TYPE to RDLENGTH
constexpr uint8_t pointer_mark = 0xc0; // a name byte this high starts a 2-byte pointer

extern uint8_t qwire[qwire_size];
extern uint8_t pkt[pkt_size];
extern uint8_t rpkt[rpkt_size];
extern const uint8_t ns_def[4]; // the compiled-in resolver, first octet first

// Name text to wire form in qwire; the wire length, or 0 when the name cannot be
// encoded faithfully (too long, a label over 63 bytes, an empty label inside).
size_t encode_qname(const char *name);

// The query for the n-byte wire name in qwire and qtype, into pkt; its length n + 16.
size_t build_query(size_t n, uint16_t qtype);

// Sends the query to ip:53 and receives one reply from there into rpkt, waiting at
// most 5 s and sending once more on silence. The bytes received, or 0 on failure.
size_t do_udp(const uint8_t ip[4], size_t qlen);

// Reading the reply, every access bounded by len, the bytes received.

// The big-endian 16-bit field at off; false when it lies past len.
bool get_u16(size_t len, size_t off, uint16_t &v);

// Steps off over the name there (pointers are not followed); false when the name
// runs past len.
bool skip_name(size_t len, size_t &off);

// Offset of the answer section (after the header and one question), with ANCOUNT in
// count; 0 when the reply is shorter than a header or the question runs past len.
size_t answer_start(size_t len, uint16_t &count);

struct record {
	uint16_t type;
	uint16_t rdlength;
	size_t rdata; // offset of RDATA in rpkt
};

// Reads the record at off and steps off past its RDATA; false when any part of the
// record, RDATA included, lies past len.
bool next_record(size_t len, size_t &off, record &r);
