#pragma once
#include <cstdint>
#include <string>

// A count of seconds as "%02d일 %02d:%02d:%02d" (days, hours, minutes,
// seconds). Counts come in 64 bits, as a huge session time and a clock set
// back can make them; what the text can show is 0 up to the largest 32-bit
// count: less shows as 0, more as that largest count.
std::string FormatDuration(int64_t seconds);
