// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/parallel.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace settree;

// Work beside the caller: what it made is there after Wait, what it threw comes out of Wait and
// only once, and an object dropped without Wait still lets its work finish first.
TEST(WorkBeside, WaitGivesTheWorkItsResultOrItsError) {
    std::string made;
    {
        WorkBeside work([&] { made = std::string(1000, 'x'); });
        work.Wait();
        EXPECT_EQ(made, std::string(1000, 'x'));
    }

    int runs = 0;
    WorkBeside failing([&] {
        ++runs;
        throw std::runtime_error("the work failed");
    });
    try {
        failing.Wait();
        ADD_FAILURE() << "Wait did not raise what the work threw";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "the work failed");
    }
    EXPECT_NO_THROW(failing.Wait());
    EXPECT_EQ(runs, 1);

    bool finished = false;
    {
        WorkBeside dropped([&] { finished = true; });
    }
    EXPECT_TRUE(finished);
}
