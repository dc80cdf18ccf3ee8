#include "countdown/time_count.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TimeCount Make(int32_t h, int32_t m, int32_t s, int32_t ms, int32_t count = 0) {
    return TimeCount{h, m, s, ms, count};
}

TEST(TimeCountTest, ToMillisecondsAtTheLimits) {
    EXPECT_EQ(0u, ToMilliseconds(Make(0, 0, 0, 0)));
    EXPECT_EQ(1u, ToMilliseconds(Make(0, 0, 0, 1)));
    EXPECT_EQ(3'600'000u, ToMilliseconds(Make(1, 0, 0, 0)));
    EXPECT_EQ(3'599'999u, ToMilliseconds(Make(0, 59, 59, 999)));
    EXPECT_EQ(359'999'999u, ToMilliseconds(Make(99, 59, 59, 999)));
}

TEST(TimeCountTest, CountTakesNoPartInConversions) {
    for (int32_t count : {0, 1, 9999, -1, -123456}) {
        EXPECT_EQ(1000u, ToMilliseconds(Make(0, 0, 1, 0, count)));
        TimeCount t = Make(5, 5, 5, 5, count);
        SetFromMilliseconds(t, 60'000);
        EXPECT_EQ(count, t.count);
    }
}

TEST(TimeCountTest, SetFromMillisecondsSplitsFields) {
    struct Case {
        uint32_t ms;
        int32_t h, m, s, milli;
    };
    constexpr Case kCases[] = {
        {359'999'999, 99, 59, 59, 999},
        {3'599'999, 0, 59, 59, 999},
        {60'000, 0, 1, 0, 0},
        {1, 0, 0, 0, 1},
        {0, 0, 0, 0, 0},
        {360'000'000, 100, 0, 0, 0},
    };
    for (const Case& c : kCases) {
        TimeCount t = Make(7, 7, 7, 7, 42);
        SetFromMilliseconds(t, c.ms);
        EXPECT_EQ(c.h, t.hour) << c.ms;
        EXPECT_EQ(c.m, t.minute) << c.ms;
        EXPECT_EQ(c.s, t.second) << c.ms;
        EXPECT_EQ(c.milli, t.millisecond) << c.ms;
        EXPECT_EQ(42, t.count);
    }
}

TEST(TimeCountTest, HoursAreNotReduced) {
    TimeCount t = {};
    SetFromMilliseconds(t, std::numeric_limits<uint32_t>::max());
    EXPECT_EQ(1193, t.hour);  // 4294967295 / 3600000
    EXPECT_EQ(2, t.minute);
    EXPECT_EQ(47, t.second);
    EXPECT_EQ(295, t.millisecond);
}

TEST(TimeCountTest, RoundTripsAcrossTheWholeRange) {
    // Every 32-bit value round-trips; sample the range densely at both ends.
    auto check = [](uint32_t x) {
        TimeCount t = {};
        SetFromMilliseconds(t, x);
        ASSERT_EQ(x, ToMilliseconds(t));
    };
    for (uint32_t x = 0; x < 200'000; ++x) check(x);
    for (uint32_t x = 0; x < 200'000; ++x) check(std::numeric_limits<uint32_t>::max() - x);
    for (uint64_t x = 0; x <= std::numeric_limits<uint32_t>::max(); x += 65'521) {
        check(static_cast<uint32_t>(x));
    }
}

TEST(TimeCountTest, ClearingKeepsOrDropsTheCount) {
    TimeCount t = Make(1, 2, 3, 4, -7);
    ClearTime(t);
    EXPECT_EQ(0u, ToMilliseconds(t));
    EXPECT_EQ(-7, t.count);
    ClearAll(t);
    EXPECT_EQ(0, t.count);
    const TimeCount s = Snapshot(Make(1, 2, 3, 4, 5));
    EXPECT_EQ(5, s.count);
    EXPECT_EQ(3'723'004u, ToMilliseconds(s));
}

}  // namespace
