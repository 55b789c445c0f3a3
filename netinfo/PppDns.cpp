// The main window's search for the VPN adapter: run at start to find the
// administration server, and every few seconds afterwards as the VPN watch.
#include "app/LumaroDialog.h"
#include "framework/Format.h"
#include "netinfo/PppChoice.h"

#include <new>

int LumaroDialog::GetPppDns()
{
    int count = 0;
    if (QueryAdapters(nullptr, 0, &count) != ERROR_INSUFFICIENT_BUFFER) {
        m_log.Write(kLogError, "No Network Adapters Found on System-2.");
        return kPppDnsNoAdapters;
    }
    m_nCount = count;
    delete[] AdapterList;
    AdapterList = new (std::nothrow) AdapterInfo[static_cast<size_t>(m_nCount)];
    if (!AdapterList) {
        m_log.Write(kLogError, "No Network Adapters Found on System-1.");
        return kPppDnsNoMemory;
    }
    // Adapters that appeared since the probe leave the records empty, and
    // the search below then finds nothing: the next run sees them.
    int unused = 0;
    QueryAdapters(AdapterList, m_nCount, &unused);

    m_log.Write(kLogFlow, StrFormat("m_nCount=%d", m_nCount).c_str());
    return ChoosePppDns(AdapterList, m_nCount, m_log, m_ip);
}
