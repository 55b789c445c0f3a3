#include "framework/FileInUse.h"

#include <gtest/gtest.h>

TEST(FileInUse, RetriesWhileAnotherProgramHoldsTheFileAndLeavesTheLastError)
{
    struct Case {
        const char* name;
        DWORD error;   // of every refused attempt
        int refusals;  // before an attempt succeeds
        int attempts;
    } cases[] = {
        {"a scanner lets go after two tries", ERROR_SHARING_VIOLATION, 2, 3},
        {"a name pending deletion", ERROR_DELETE_PENDING, 1, 2},
        {"a viewer holds on", ERROR_ACCESS_DENIED, 99, kFileInUseAttempts},
        {"a missing file is no file in use", ERROR_FILE_NOT_FOUND, 99, 1},
    };
    for (const Case& c : cases) {
        int attempts = 0;
        BOOL done = RetryWhileInUse([&]() -> BOOL { ::SetLastError(c.error); return ++attempts > c.refusals; }, FALSE);
        EXPECT_EQ(done != FALSE, c.refusals < c.attempts) << c.name;
        EXPECT_EQ(attempts, c.attempts) << c.name;
        EXPECT_EQ(::GetLastError(), c.error) << c.name << ": the caller reads the last attempt's error";
    }
}
