#pragma once
// printf-style formatting into a std::string, the one text type Lumaro uses.
#include <cstdarg>
#include <string>

std::string StrFormat(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string StrFormatV(const char* fmt, va_list args);
