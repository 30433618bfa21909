// The HTTP/1.0 exchange: one request, the raw response streamed to standard output.
#pragma once
#include <cstdint>

// Connects to ip:port, sends the GET request for path with the Host header host, and
// copies every byte received to descriptor 1. True when the server closed the
// connection in order; false when no connection was made (nor tried, when the socket
// would be descriptor 1 or 2), the connection was reset (even before the request
// went out), a read failed or the output failed; what arrived stays written.
bool http_get(const char *path, const char *host, uint16_t port, const uint8_t ip[4]);
