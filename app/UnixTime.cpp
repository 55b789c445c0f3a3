#include "app/UnixTime.h"

namespace {
// FILETIME counts 100-ns intervals from 1601-01-01 00:00 UTC.
const int64_t kIntervalsPerSecond = 10000000;
const int64_t kIntervalsFrom1601To1970 = 116444736000000000;
}

int64_t UnixSecondsFromFileTime(const FILETIME& time)
{
    const uint64_t intervals = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (static_cast<int64_t>(intervals) - kIntervalsFrom1601To1970) / kIntervalsPerSecond;
}

int64_t UnixSecondsNow()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return UnixSecondsFromFileTime(now);
}
