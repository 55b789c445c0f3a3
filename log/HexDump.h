#pragma once
// The hex view of traffic bytes as it appears inside a dump block of the log.
#include <string>

// Longest stretch of a packet the log shows; the rest is only counted.
const int kHexDumpMaxShownBytes = 4096;

// Rows of "offset   hex - hex     chars". Full rows end in LF; a partial last
// row and the cut marker have no line end, so the caller's frame supplies it.
std::string HexDumpBody(const unsigned char* data, int length);
