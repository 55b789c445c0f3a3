#include "app/DurationFormat.h"

#include "framework/Format.h"

std::string FormatDuration(int s)
{
    return StrFormat("%02d일 %02d:%02d:%02d", s / 86400, (s % 86400) / 3600, (s % 3600) / 60, s % 60);
}
