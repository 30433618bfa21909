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

// Offset of the answer section (after the header and one question), or 0 when the
// reply is shorter than a header or the question runs past len.
size_t answer_start(size_t len);

struct record {
	uint16_t type;
	uint16_t rdlength;
	size_t rdata; // offset of RDATA in rpkt
};

// Reads the record at off and steps off past its RDATA; false when any part of the
// record, RDATA included, lies past len.
bool next_record(size_t len, size_t &off, record &r);
