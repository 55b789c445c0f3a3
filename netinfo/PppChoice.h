#pragma once
// The choice of the VPN's adapter: the first adapter of type PPP, whose first
// DNS server is the administration server.
#include "netinfo/AdapterInfo.h"

#include <string>
#include <vector>

class LogFile;

const UINT kAdapterTypePpp = 23;

// Result codes of the adapter search, shared by the main window's GetPppDns.
enum PppDnsResult {
    kPppDnsOk = 0,
    kPppDnsNoAdapters = -20,
    kPppDnsNotFound = -30,
};

// Logs one block per adapter up to the first PPP adapter and sets `ip` to
// that adapter's first DNS server (empty when it has none). Returns
// kPppDnsOk, or kPppDnsNotFound (ip unchanged) when no adapter is PPP.
int ChoosePppDns(const std::vector<AdapterInfo>& adapters, LogFile& log, std::string& ip);

// The whole search as the monitor runs it, at start and in its VPN watch:
// the adapters into `adapters`, the server address into `ip`.
int FindPppDns(std::vector<AdapterInfo>& adapters, LogFile& log, std::string& ip);

// The block logged for one adapter: one log entry of these six lines.
std::vector<std::string> DescribeAdapter(int index, const AdapterInfo& info);
