// The host's IPv4 address, from one A query to the compiled-in resolver.
#pragma once
#include <cstddef>
#include <cstdint>

extern uint8_t ip[4]; // network byte order, as the A record holds it

// Takes the first A record with 4 bytes of data from the reply of len bytes in rpkt,
// stepping over CNAMEs and odd records; false when none is found within len.
bool first_a(size_t len);

// Sends the A query for name and receives the reply into rpkt, without looking at it;
// its length, or 0 when the name cannot be sent or no reply came.
size_t ask_a(const char *name);
