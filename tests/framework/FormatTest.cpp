#include "framework/Format.h"

#include <gtest/gtest.h>

TEST(StrFormat, FormatsLongerThanAnyFixedBuffer)
{
    std::string big(5000, 'x');
    std::string s = StrFormat("[%s]%d", big.c_str(), 42);
    EXPECT_EQ(s.size(), 5004u);
    EXPECT_EQ(s.substr(5000), "x]42");
}
