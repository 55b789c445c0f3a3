#include "framework/StackGuard.h"

#include <windows.h>

#include <cstring>
#include <gtest/gtest.h>

TEST(StackGuard, DrawSystemRandom_GivesOtherBytesEachTime)
{
    unsigned char first[16] = {}, second[16] = {};
    ASSERT_TRUE(DrawSystemRandom(first, sizeof first) && DrawSystemRandom(second, sizeof second));
    EXPECT_NE(std::memcmp(first, second, sizeof first), 0) << "two draws gave the same 16 bytes";
}

// Over the canary above the 8 bytes, short of the return address; read at
// run time, so that the compiler cannot see the overrun.
volatile std::size_t overrunLength = 16;

__attribute__((noinline)) void WritePastABuffer(std::size_t length)
{
    char buffer[8];
    std::memset(buffer, 'x', length);
    asm volatile("" : : "r"(buffer) : "memory");
}

TEST(StackGuardDeathTest, AnOverrunEndsTheProcessAtOnceAsAStackBufferOverrun)
{
    EXPECT_EXIT(WritePastABuffer(overrunLength), testing::ExitedWithCode(static_cast<int>(STATUS_STACK_BUFFER_OVERRUN)),
                "");
}
