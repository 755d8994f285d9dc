#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/ScopeExit.h"

namespace {

// The clean-up runs on the normal way out and while an exception unwinds;
// a released guard never runs it.
TEST(ScopeExitTest, RunsOnEveryWayOutUnlessReleased) {
    int runs = 0;
    {
        ScopeExit guard([&] { ++runs; });
    }
    EXPECT_EQ(runs, 1);

    EXPECT_THROW(
        {
            ScopeExit guard([&] { ++runs; });
            throw std::runtime_error("passing");
        },
        std::runtime_error);
    EXPECT_EQ(runs, 2);

    {
        ScopeExit guard([&] { ++runs; });
        guard.Release();
    }
    EXPECT_EQ(runs, 2);
}

}  // namespace
