#include "framework/SystemLibrary.h"

#include <gtest/gtest.h>

TEST(SystemLibrary, LoadsOnlyFromTheSystemFolderAndAnswersNullForWhatIsMissing)
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
        {"lumaro-planted.dll", "LumaroPlanted", false, false},  // built beside this program
    };
    for (const Row& row : rows) {
        SystemLibrary library(row.library);
        EXPECT_EQ(library.IsLoaded(), row.loaded) << row.library;
        EXPECT_EQ(library.Find<FARPROC>(row.function) != nullptr, row.found) << row.library << " " << row.function;
    }
    HMODULE planted = ::LoadLibraryA("lumaro-planted.dll");
    EXPECT_NE(planted, nullptr) << "no DLL planted beside the test program: its row above proves nothing";
    ::FreeLibrary(planted);
}
