// Test helper: a run made under a non-Japanese locale says which system code
// page it expects (TOCKLET_EXPECT_ACP), so a locale that did not take cannot
// let its tests pass on the Japanese code page unnoticed.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace testing_support {

inline ::testing::AssertionResult SystemCodePageAsExpected() {
    const char* expected = std::getenv("TOCKLET_EXPECT_ACP");
    const UINT actual = GetACP();
    if (expected == nullptr || std::to_string(actual) == expected) {
        return ::testing::AssertionSuccess() << "system code page " << actual;
    }
    return ::testing::AssertionFailure()
           << "system code page " << actual << ", but this run expects " << expected;
}

}  // namespace testing_support
