#include "app/DurationFormat.h"

#include "framework/Format.h"

#include <climits>

std::string FormatDuration(int64_t seconds)
{
    int s = seconds < 0 ? 0 : seconds > INT_MAX ? INT_MAX : static_cast<int>(seconds);
    return StrFormat("%02d일 %02d:%02d:%02d", s / 86400, (s % 86400) / 3600, (s % 3600) / 60, s % 60);
}
