#include "netinfo/AdapterInfo.h"

#include "framework/SystemLibrary.h"

#include <iphlpapi.h>

namespace {
// Heap buffers for the IP helper, cleared on allocation as the two-call
// sizing protocol expects, and always freed.
class HeapBuffer {
public:
    explicit HeapBuffer(ULONG size) : m_p(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size)) {}
    ~HeapBuffer()
    {
        if (m_p)
            ::HeapFree(::GetProcessHeap(), 0, m_p);
    }
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    template <class T>
    T* As() const { return static_cast<T*>(m_p); }
private:
    void* m_p;
};

void CopyDnsServers(const IpHelperApi& api, AdapterInfo& info)
{
    ULONG size = 0;
    if (api.getPerAdapterInfo(info.m_index, nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0)
        return;
    HeapBuffer buf(size);
    auto* per = buf.As<IP_PER_ADAPTER_INFO>();
    if (!per || api.getPerAdapterInfo(info.m_index, per, &size) != ERROR_SUCCESS)
        return;
    for (const IP_ADDR_STRING* s = &per->DnsServerList; s; s = s->Next)
        if (s->IpAddress.String[0])
            info.m_dnsServers.push_back(s->IpAddress.String);
}

ULONG WINAPI NoAdaptersInfo(PIP_ADAPTER_INFO, PULONG)
{
    return ERROR_NOT_SUPPORTED;
}

DWORD WINAPI NoPerAdapterInfo(ULONG, PIP_PER_ADAPTER_INFO, PULONG)
{
    return ERROR_NOT_SUPPORTED;
}

void CopyAdapter(const IpHelperApi& api, const IP_ADAPTER_INFO& a, AdapterInfo& info)
{
    info.m_name = a.AdapterName;
    info.m_description = a.Description;
    info.m_index = a.Index;
    info.m_type = a.Type;
    for (const IP_ADDR_STRING* s = &a.IpAddressList; s; s = s->Next)
        info.m_ipAddresses.emplace_back(s->IpAddress.String, s->IpMask.String);
    for (const IP_ADDR_STRING* s = &a.GatewayList; s; s = s->Next)
        if (s->IpAddress.String[0])
            info.m_gateways.push_back(s->IpAddress.String);
    info.m_dhcpEnabled = a.DhcpEnabled;
    info.m_dhcpServer = a.DhcpServer.IpAddress.String;
    CopyDnsServers(api, info);
}
}

std::string AdapterInfo::GetIpAddress(size_t i) const
{
    return i < m_ipAddresses.size() ? m_ipAddresses[i].first : std::string();
}

std::string AdapterInfo::GetDnsServer(size_t i) const
{
    return i < m_dnsServers.size() ? m_dnsServers[i] : std::string();
}

const char* AdapterTypeName(UINT type)
{
    switch (type) {
    case 1:
        return "Other";
    case 6:
        return "Ethernet";
    case 9:
        return "Token Ring";
    case 15:
        return "FDDI";
    case 23:
        return "PPP";
    case 24:
        return "Loopback";
    case 28:
        return "SLIP";
    default:
        return "Invalid Adapter Type";
    }
}

const IpHelperApi& SystemIpHelper()
{
    // iphlpapi is no KnownDLL: from the system folder, once. Without it no
    // adapter is found, which the monitor answers as it does on a machine
    // without adapters.
    static const SystemLibrary library("iphlpapi.dll");
    static const IpHelperApi api = {
        library.Find<decltype(&::GetAdaptersInfo)>("GetAdaptersInfo"),
        library.Find<decltype(&::GetPerAdapterInfo)>("GetPerAdapterInfo"),
    };
    static const IpHelperApi none = {NoAdaptersInfo, NoPerAdapterInfo};
    return api.getAdaptersInfo && api.getPerAdapterInfo ? api : none;
}

int QueryAdapters(std::vector<AdapterInfo>& adapters, const IpHelperApi& api)
{
    adapters.clear();
    for (int attempt = 0; attempt < kAdapterQueryAttempts; ++attempt) {
        ULONG size = 0;
        if (api.getAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0)
            return 0;
        HeapBuffer buf(size);
        auto* first = buf.As<IP_ADAPTER_INFO>();
        if (!first)
            return 0;
        DWORD rc = api.getAdaptersInfo(first, &size);
        if (rc == ERROR_BUFFER_OVERFLOW)
            continue;  // the list grew since it was sized
        if (rc != ERROR_SUCCESS)
            return 0;
        for (const IP_ADAPTER_INFO* a = first; a; a = a->Next) {
            adapters.emplace_back();
            CopyAdapter(api, *a, adapters.back());
        }
        return static_cast<int>(adapters.size());
    }
    return 0;
}
