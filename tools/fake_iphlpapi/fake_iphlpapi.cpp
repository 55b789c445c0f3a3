// A stand-in for the two IP helper functions Lumaro calls, with the adapter
// table read from the file named by LUMARO_FAKE_ADAPTERS on every call, so a
// test can make the VPN adapter disappear while the program runs.
//
// One adapter per line, fields separated by '|':
//   name|description|index|type|ip[,ip...]|mask[,mask...]|dns[,dns...]
// e.g.  {PPP-1}|WAN Miniport (PPTP)|7|23|10.99.0.2|255.255.255.255|127.0.0.1
// Blank lines and lines starting with '#' are skipped; texts are copied as
// bytes (write CP949 for Korean). An empty IP field gives an address list
// whose one entry is empty. A missing or empty file means no adapters.
// A Unix path (starting with '/') is taken on drive Z:, Wine's view of '/'.
//
// With LUMARO_FAKE_ADAPTERS_LOG set, every call appends a line to that file:
//   unix-ms  function  result  adapters-or-index
#include <winsock2.h>
#include <iphlpapi.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct FakeAdapter {
    std::string name;
    std::string description;
    DWORD index = 0;
    UINT type = 0;
    std::vector<std::string> ips;
    std::vector<std::string> masks;
    std::vector<std::string> dns;
};

std::string EnvValue(const char* name)
{
    char buf[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    if (n == 0 || n >= sizeof buf)
        return std::string();
    std::string value(buf, n);
    if (!value.empty() && value[0] == '/') {
        for (char& c : value)
            if (c == '/')
                c = '\\';
        value = "Z:" + value;
    }
    return value;
}

std::string ReadWholeFile(const std::string& path)
{
    std::string data;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return data;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got > 0)
        data.append(buf, got);
    CloseHandle(file);
    return data;
}

std::vector<std::string> Split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::vector<std::string> SplitList(const std::string& text)
{
    if (text.empty())
        return {};
    return Split(text, ',');
}

std::vector<FakeAdapter> LoadTable()
{
    std::vector<FakeAdapter> table;
    std::string path = EnvValue("LUMARO_FAKE_ADAPTERS");
    if (path.empty())
        return table;
    for (std::string line : Split(ReadWholeFile(path), '\n')) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> f = Split(line, '|');
        f.resize(7);
        FakeAdapter a;
        a.name = f[0];
        a.description = f[1];
        a.index = strtoul(f[2].c_str(), nullptr, 10);
        a.type = strtoul(f[3].c_str(), nullptr, 10);
        a.ips = SplitList(f[4]);
        a.masks = SplitList(f[5]);
        a.dns = SplitList(f[6]);
        table.push_back(a);
    }
    return table;
}

void LogCall(const char* function, DWORD result, unsigned long detail)
{
    std::string path = EnvValue("LUMARO_FAKE_ADAPTERS_LOG");
    if (path.empty())
        return;
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    unsigned long long ms =
        ((static_cast<unsigned long long>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) - 116444736000000000ull) / 10000;
    char line[128];
    int n = snprintf(line, sizeof line, "%llu\t%s\t%lu\t%lu\n", ms, function, static_cast<unsigned long>(result), detail);
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
    CloseHandle(file);
}

void CopyText(char* dest, size_t size, const std::string& text)
{
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

void SetAddress(IP_ADDR_STRING& entry, const std::string& address, const std::string& mask)
{
    CopyText(entry.IpAddress.String, sizeof entry.IpAddress.String, address);
    CopyText(entry.IpMask.String, sizeof entry.IpMask.String, mask);
}

// Entries beyond the first of a list live after the records, as the real
// function lays them out; the first is part of the record.
size_t ExtraEntries(size_t count) { return count > 1 ? count - 1 : 0; }

DWORD FillAdapters(const std::vector<FakeAdapter>& table, PIP_ADAPTER_INFO info, PULONG size)
{
    if (!size)
        return ERROR_INVALID_PARAMETER;
    if (table.empty())
        return ERROR_NO_DATA;
    size_t extra = 0;
    for (const FakeAdapter& a : table)
        extra += ExtraEntries(a.ips.size());
    size_t needed = table.size() * sizeof(IP_ADAPTER_INFO) + extra * sizeof(IP_ADDR_STRING);
    if (!info || *size < needed) {
        *size = static_cast<ULONG>(needed);
        return ERROR_BUFFER_OVERFLOW;
    }
    memset(info, 0, needed);
    IP_ADDR_STRING* spare = reinterpret_cast<IP_ADDR_STRING*>(info + table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        const FakeAdapter& a = table[i];
        IP_ADAPTER_INFO& rec = info[i];
        rec.Next = i + 1 < table.size() ? &info[i + 1] : nullptr;
        rec.ComboIndex = a.index;
        CopyText(rec.AdapterName, sizeof rec.AdapterName, a.name);
        CopyText(rec.Description, sizeof rec.Description, a.description);
        rec.AddressLength = 6;
        rec.Address[0] = 0x02;
        rec.Address[5] = static_cast<BYTE>(a.index);
        rec.Index = a.index;
        rec.Type = a.type;
        IP_ADDR_STRING* entry = &rec.IpAddressList;
        for (size_t k = 0; k < a.ips.size() || k == 0; ++k) {
            if (k > 0) {
                entry->Next = spare;
                entry = spare++;
            }
            SetAddress(*entry, k < a.ips.size() ? a.ips[k] : "", k < a.masks.size() ? a.masks[k] : "");
        }
        SetAddress(rec.GatewayList, "0.0.0.0", "0.0.0.0");
        SetAddress(rec.DhcpServer, "0.0.0.0", "0.0.0.0");
        SetAddress(rec.PrimaryWinsServer, "0.0.0.0", "0.0.0.0");
        SetAddress(rec.SecondaryWinsServer, "0.0.0.0", "0.0.0.0");
    }
    return ERROR_SUCCESS;
}

DWORD FillPerAdapter(const std::vector<FakeAdapter>& table, ULONG index, PIP_PER_ADAPTER_INFO info, PULONG size)
{
    if (!size)
        return ERROR_INVALID_PARAMETER;
    const FakeAdapter* found = nullptr;
    for (const FakeAdapter& a : table)
        if (a.index == index)
            found = &a;
    if (!found)
        return ERROR_NO_DATA;
    size_t needed = sizeof(IP_PER_ADAPTER_INFO) + ExtraEntries(found->dns.size()) * sizeof(IP_ADDR_STRING);
    if (!info || *size < needed) {
        *size = static_cast<ULONG>(needed);
        return ERROR_BUFFER_OVERFLOW;
    }
    memset(info, 0, needed);
    IP_ADDR_STRING* spare = reinterpret_cast<IP_ADDR_STRING*>(info + 1);
    IP_ADDR_STRING* entry = &info->DnsServerList;
    for (size_t k = 0; k < found->dns.size(); ++k) {
        if (k > 0) {
            entry->Next = spare;
            entry = spare++;
        }
        SetAddress(*entry, found->dns[k], "");
    }
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

DWORD WINAPI GetAdaptersInfo(PIP_ADAPTER_INFO info, PULONG size)
{
    std::vector<FakeAdapter> table = LoadTable();
    DWORD rc = FillAdapters(table, info, size);
    LogCall("GetAdaptersInfo", rc, static_cast<unsigned long>(table.size()));
    return rc;
}

DWORD WINAPI GetPerAdapterInfo(ULONG index, PIP_PER_ADAPTER_INFO info, PULONG size)
{
    DWORD rc = FillPerAdapter(LoadTable(), index, info, size);
    LogCall("GetPerAdapterInfo", rc, index);
    return rc;
}

}  // extern "C"
