#include "netinfo/PppChoice.h"

#include "framework/Format.h"
#include "log/LogFile.h"

std::string DescribeAdapter(int index, const AdapterInfo& info)
{
    return StrFormat(" [idx=%d]\n Name=%s\n Description=%s\n Type=%d, %s\n IP=%s\n DNS=%s", index,
                     info.GetName().c_str(), info.GetDescription().c_str(), static_cast<int>(info.GetType()),
                     AdapterTypeName(info.GetType()), info.GetIpAddress(0).c_str(), info.GetDnsServer(0).c_str());
}

int ChoosePppDns(const AdapterInfo* records, int count, LogFile& log, std::string& ip)
{
    for (int i = 0; i < count; ++i) {
        log.Write(kLogFlow, DescribeAdapter(i, records[i]).c_str());
        if (records[i].GetType() == kAdapterTypePpp) {
            ip = records[i].GetDnsServer(0);
            log.Write(kLogFlow, StrFormat("ppp DNS(m_ip) = %s", ip.c_str()).c_str());
            return kPppDnsOk;
        }
    }
    log.Write(kLogError, "ppp not found");
    return kPppDnsNotFound;
}
