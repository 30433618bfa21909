// The URL of the command line, split into the host, port and path of one request.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t url_size = 1024;  // the longest URL taken, 1023 bytes, and its zero
constexpr size_t host_size = 256;
constexpr size_t path_size = 768;

extern char url[url_size];
extern char host[host_size];
extern char path[path_size];
extern uint16_t port;

// Stores arg as the URL, replacing the one before. An argument longer than url holds
// is remembered as such and refused by parse_url; it is never cut.
void copy_url(const char *arg);

enum class url_result { ok, bad, https };

// Splits url into host, port (80 unless given) and path ("/" unless given). Refuses
// what the request could not carry faithfully: a host or path over its buffer, or
// holding a control byte or a space, which would end the request line or a header.
url_result parse_url();
