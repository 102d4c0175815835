// Compares two byte runs for a test and, when they differ, says where (first offset, how many) instead of
// dumping the runs, which are whole pictures.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <vector>

inline testing::AssertionResult SameBytes(const std::vector<BYTE>& actual, const std::vector<BYTE>& expected)
{
    if (actual.size() != expected.size())
        return testing::AssertionFailure() << actual.size() << " bytes, expected " << expected.size();
    size_t differing = 0;
    size_t first = 0;
    for (size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i] && differing++ == 0)
            first = i;
    }
    if (differing == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << differing << " of " << actual.size() << " bytes differ; first at offset "
                                       << first << ": " << int{actual[first]} << ", expected "
                                       << int{expected[first]};
}
