// The answer walk of a reply in rpkt and the terse printing of its records.
#pragma once
#include <cstddef>
#include <cstdint>

extern uint8_t hit; // set once a record has been printed; never cleared

// Prints every answer record of type qtype in the len received bytes of rpkt. The
// walk ends at the first record, name or pointer that would reach past len.
void parse_answers(size_t len, uint16_t qtype);
