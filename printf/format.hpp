// The format walk of printf: escapes and conversions recognised in one pass, every item
// written the moment it is known.
#pragma once
#include <cstdint>

// The value of a numeric argument: leading "-", decimal digits wrapping at 32 bits,
// widened to 64 bits and then negated. A missing argument (nullptr) is 0.
uint64_t arg_to_num(const char *arg);

// Writes the format to descriptor 1, taking values from args in order.
void format_walk(const char *fmt, int nargs, char **args);
