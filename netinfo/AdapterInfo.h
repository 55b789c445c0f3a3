#pragma once
// A snapshot of one network adapter, owning copies of everything it holds so
// that the IP helper's buffers can be released at once.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class AdapterInfo {
public:
    std::string m_name;
    std::string m_description;
    DWORD m_index = 0;
    UINT m_type = 0;
    std::vector<std::string> m_dnsServers;
    std::vector<std::pair<std::string, std::string>> m_ipAddresses;  // (address, mask)
    std::vector<std::string> m_gateways;
    std::string m_dhcpServer;
    BOOL m_dhcpEnabled = FALSE;

    const std::string& GetName() const { return m_name; }
    const std::string& GetDescription() const { return m_description; }
    UINT GetType() const { return m_type; }
    // Empty text when i is out of range.
    std::string GetIpAddress(size_t i) const;
    std::string GetDnsServer(size_t i) const;
};

// The platform's interface type code as the log shows it.
const char* AdapterTypeName(UINT type);

struct _IP_ADAPTER_INFO;
struct _IP_PER_ADAPTER_INFO;

// The two IP helper calls the query makes; a test puts its own in their place.
struct IpHelperApi {
    ULONG(WINAPI* getAdaptersInfo)(_IP_ADAPTER_INFO*, PULONG);
    DWORD(WINAPI* getPerAdapterInfo)(ULONG, _IP_PER_ADAPTER_INFO*, PULONG);
};
const IpHelperApi& SystemIpHelper();

// How often the sizing and the fill are made before the query gives up: an
// adapter that comes up between the two makes the fill fail for want of room.
const int kAdapterQueryAttempts = 3;

// The machine's adapters in the platform's order. Returns their number (0
// when there is none or the platform's answer is unusable) and fills `adapters`.
int QueryAdapters(std::vector<AdapterInfo>& adapters, const IpHelperApi& api = SystemIpHelper());
