#pragma once
// The product version of the program file, as a number and as the text the
// window shows. Components above 99 spill into the next one: the text is
// taken back out of the number.
#include <string>

// "a, b, c, d" -> a*1000000 + b*10000 + c*100 + d; missing pieces count as 0.
int VersionNumberFromText(const char* text);
// "%d.%d.%d.%d" of n/1000000, n%1000000/10000, n%10000/100, n%100.
std::string VersionText(int n);
// Reads \StringFileInfo\041204B0\ProductVersion of the file; 0 without one.
int ReadProductVersionNumber(const wchar_t* path);
