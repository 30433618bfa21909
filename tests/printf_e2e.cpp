// printf on hostile sizes: a format of 60,000 conversions without arguments (120,000
// bytes, near the kernel's limit for one argument) and a huge %s argument.
#include "harness.hpp"

#include <gtest/gtest.h>

TEST(PrintfHostile, SixtyThousandConversionsWithoutArguments)
{
	std::string fmt;
	for (int i = 0; i < 60000; i++)
		fmt += "%d";
	Result r = run_tool("printf", {fmt});
	ASSERT_FALSE(r.timed_out);
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out, std::string(60000, '0'));
	EXPECT_EQ(r.err, "");
}

TEST(PrintfHostile, LongArgumentIsOneWrite)
{
	std::string big(120000, 'x');
	std::vector<Syscall> calls;
	Result r = run_traced("printf", {"[%s]", big}, calls);
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out, "[" + big + "]");
	EXPECT_EQ(write_sizes(calls), (std::vector<std::string>{"1", "120000", "1"}));
}
