#include "app/VersionNumber.h"

#include "framework/Format.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

int VersionNumberFromText(const char* text)
{
    // Summed wide and held to the int range: a resource with absurd numbers
    // gives an absurd version, not undefined arithmetic.
    long long parts[4] = {0, 0, 0, 0};
    const char* p = text ? text : "";
    for (int i = 0; i < 4 && p; ++i) {
        parts[i] = std::strtol(p, nullptr, 10);
        p = std::strchr(p, ',');
        if (p)
            ++p;
    }
    long long n = parts[0] * 1000000 + parts[1] * 10000 + parts[2] * 100 + parts[3];
    return static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, n)));
}

std::string VersionText(int n)
{
    return StrFormat("%d.%d.%d.%d", n / 1000000, (n % 1000000) / 10000, (n % 10000) / 100, n % 100);
}
