#include "netinfo/PppChoice.h"

#include "framework/Format.h"
#include "log/LogFile.h"

std::vector<std::string> DescribeAdapter(int index, const AdapterInfo& info)
{
    return {StrFormat(" [idx=%d]", index), " Name=" + info.GetName(), " Description=" + info.GetDescription(),
            StrFormat(" Type=%d, %s", static_cast<int>(info.GetType()), AdapterTypeName(info.GetType())),
            " IP=" + info.GetIpAddress(0), " DNS=" + info.GetDnsServer(0)};
}

int ChoosePppDns(const std::vector<AdapterInfo>& adapters, LogFile& log, std::string& ip)
{
    for (size_t i = 0; i < adapters.size(); ++i) {
        log.WriteLines(kLogFlow, DescribeAdapter(static_cast<int>(i), adapters[i]));
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
