// The dig command line: options, resolver address, record type and name, sorted out
// without ending the process so that tests and fuzzers can call it.
#pragma once
#include <cstdint>

extern uint16_t qtype;     // requested record type (QTYPE number)
extern uint8_t ns_ip[4];   // resolver used, first octet first
extern const char *name;   // the last name argument, as given (never copied or cut)

// Sets qtype when the whole argument is one of the six type keywords.
bool try_type(const char *arg);

// Reads four decimal octets separated by "." into ns_ip; never refuses anything.
void parse_ipv4(const char *text);

enum class plan { usage, version, lookup };

// Classifies the arguments (program name excluded) and says what the run does.
plan classify(int argc, char **argv);
