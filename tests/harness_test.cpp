// The spawn helper's timeout bounds a run however the child behaves, also when it has
// closed its output long before it ends.
#include "harness.hpp"

#include <chrono>
#include <gtest/gtest.h>

TEST(Harness, TimeoutBoundsEveryChild)
{
	const char *rows[] = {
		"sleep 30",
		"exec >&- 2>&-; sleep 30",
	};
	for (auto cmd : rows) {
		SCOPED_TRACE(cmd);
		auto t0 = std::chrono::steady_clock::now();
		Result r = run_cmd({"sh", "-c", cmd}, "", 300);
		auto took = std::chrono::steady_clock::now() - t0;
		EXPECT_TRUE(r.timed_out);
		EXPECT_EQ(r.status, -1);
		EXPECT_LT(took, std::chrono::seconds(5));
	}
	Result r = run_cmd({"sh", "-c", "exec >&- 2>&-; exit 3"}, "", 5000);
	EXPECT_FALSE(r.timed_out);
	EXPECT_EQ(r.status, 3);
}
