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

// Fills `records` (room for `capacity`) with the machine's adapters in the
// platform's order and stores their number in `needed`. Returns 0, or
// ERROR_INSUFFICIENT_BUFFER when capacity < needed (nothing written then).
int QueryAdapters(AdapterInfo* records, int capacity, int* needed);
