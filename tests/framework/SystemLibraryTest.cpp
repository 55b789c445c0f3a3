#include "framework/SystemLibrary.h"

#include <gtest/gtest.h>

TEST(SystemLibrary, LoadsFromTheSystemFolderAndAnswersNullForWhatIsMissing)
{
    struct Row {
        const char* library;
        const char* function;
        bool loaded;
        bool found;
    } rows[] = {
        {"version.dll", "GetFileVersionInfoA", true, true},
        {"version.dll", "NoSuchFunction", true, false},
        {"lumaro-no-such-library.dll", "GetFileVersionInfoA", false, false},
    };
    for (const Row& row : rows) {
        SystemLibrary library(row.library);
        EXPECT_EQ(library.IsLoaded(), row.loaded) << row.library;
        EXPECT_EQ(library.Find<FARPROC>(row.function) != nullptr, row.found) << row.library << " " << row.function;
    }
}
