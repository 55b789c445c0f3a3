#pragma once
#include <string>

// A count of seconds as "%02d일 %02d:%02d:%02d" (days, hours, minutes, seconds).
std::string FormatDuration(int seconds);
