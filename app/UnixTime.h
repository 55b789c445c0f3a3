#pragma once
// The session's clock in seconds since 1970-01-01 00:00 UTC, in 64 bits. The
// C runtime's time() is no use for it here: a 32-bit program linked against
// msvcrt gets a 32-bit time_t (mingw-w64 defines _USE_32BIT_TIME_T for it),
// which runs out on 2038-01-19 03:14:07 UTC, within a monitor's lifetime of
// use. The system clock's FILETIME goes on for thousands of years.
#include <windows.h>

#include <cstdint>

int64_t UnixSecondsFromFileTime(const FILETIME& time);
int64_t UnixSecondsNow();
