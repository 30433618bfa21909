// Number parsing of printf: the 32-bit wrap, the one leading minus and its negation.
#include "printf/format.hpp"

#include <gtest/gtest.h>

TEST(ArgToNum, Table)
{
	struct {
		const char *arg;
		uint64_t want;
	} rows[] = {
		{nullptr, 0},
		{"", 0},
		{"42", 42},
		{"-1", ~uint64_t(0)},
		{"4294967295", 4294967295u},
		{"4294967296", 0},
		{"4294967297", 1},
		{"12345678901", 3755744309u},
		{"-4294967295", 0xffffffff00000001u},
		{"-2147483648", 0xffffffff80000000u},
		{"12abc", 12},
		{"007", 7},
		{"-0", 0},
		{"-", 0},
		{"--5", 0},
		{"+5", 0},
		{" 5", 0},
		{"abc", 0},
		{"99999999999999999999", 1661992959u},
	};
	for (auto &r : rows)
		EXPECT_EQ(arg_to_num(r.arg), r.want) << (r.arg ? r.arg : "(none)");
}
