#include "netinfo/PppChoice.h"

#include "framework/Format.h"
#include "log/LogFile.h"

std::string DescribeAdapter(int index, const AdapterInfo& info)
{
    return StrFormat(" [idx=%d]\n Name=%s\n Description=%s\n Type=%d, %s\n IP=%s\n DNS=%s", index,
                     info.GetName().c_str(), info.GetDescription().c_str(), static_cast<int>(info.GetType()),
                     AdapterTypeName(info.GetType()), info.GetIpAddress(0).c_str(), info.GetDnsServer(0).c_str());
}

int ChoosePppDns(const std::vector<AdapterInfo>& adapters, LogFile& log, std::string& ip)
{
    for (size_t i = 0; i < adapters.size(); ++i) {
        log.Write(kLogFlow, DescribeAdapter(static_cast<int>(i), adapters[i]).c_str());
        if (adapters[i].GetType() == kAdapterTypePpp) {
            ip = adapters[i].GetDnsServer(0);
            log.Write(kLogFlow, StrFormat("ppp DNS(m_ip) = %s", ip.c_str()).c_str());
            return kPppDnsOk;
        }
    }
    log.Write(kLogError, "ppp not found");
    return kPppDnsNotFound;
}

int FindPppDns(std::vector<AdapterInfo>& adapters, LogFile& log, std::string& ip)
{
    if (QueryAdapters(adapters) == 0) {
        log.Write(kLogError, "No Network Adapters Found on System-2.");
        return kPppDnsNoAdapters;
    }
    log.Write(kLogFlow, StrFormat("m_nCount=%d", static_cast<int>(adapters.size())).c_str());
    return ChoosePppDns(adapters, log, ip);
}
