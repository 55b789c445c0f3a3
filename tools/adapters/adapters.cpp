// adapters: what GetAdaptersInfo and GetPerAdapterInfo report.
//
//   adapters.exe                       one report
//   adapters.exe --poll MS COUNT       COUNT reports, MS milliseconds apart
//
// A report is a line "rc=N count=N" followed by one line per adapter:
//   adapter<TAB>index<TAB>type<TAB>name<TAB>ip/mask,...<TAB>dns,...<TAB>description
// (description in UTF-8); --poll prefixes each report line with the Unix time in ms.
#include <winsock2.h>
#include <iphlpapi.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

namespace {

std::string Utf8FromAnsi(const char* text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    int m = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(m, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &out[0], m, nullptr, nullptr);
    if (!out.empty() && out.back() == '\0')
        out.pop_back();
    return out;
}

std::string DnsOf(DWORD index)
{
    ULONG size = 0;
    DWORD rc = GetPerAdapterInfo(index, nullptr, &size);
    if (rc != ERROR_BUFFER_OVERFLOW)
        return "rc=" + std::to_string(rc);
    std::vector<BYTE> buf(size);
    auto* info = reinterpret_cast<PIP_PER_ADAPTER_INFO>(buf.data());
    rc = GetPerAdapterInfo(index, info, &size);
    if (rc != ERROR_SUCCESS)
        return "rc=" + std::to_string(rc);
    std::string list;
    for (IP_ADDR_STRING* s = &info->DnsServerList; s; s = s->Next) {
        if (!s->IpAddress.String[0] && s == &info->DnsServerList && !s->Next)
            break;
        if (!list.empty())
            list += ",";
        list += s->IpAddress.String;
    }
    return list;
}

void Report(const std::string& prefix)
{
    ULONG size = 0;
    DWORD rc = GetAdaptersInfo(nullptr, &size);
    std::vector<BYTE> buf;
    int count = 0;
    if (rc == ERROR_BUFFER_OVERFLOW) {
        buf.resize(size);
        rc = GetAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(buf.data()), &size);
    }
    std::vector<std::string> lines;
    if (rc == ERROR_SUCCESS) {
        for (auto* a = reinterpret_cast<PIP_ADAPTER_INFO>(buf.data()); a; a = a->Next) {
            ++count;
            std::string ips;
            for (IP_ADDR_STRING* s = &a->IpAddressList; s; s = s->Next) {
                if (!ips.empty())
                    ips += ",";
                ips += std::string(s->IpAddress.String) + "/" + s->IpMask.String;
            }
            lines.push_back(prefix + "adapter\t" + std::to_string(a->Index) + "\t" + std::to_string(a->Type) + "\t" +
                            a->AdapterName + "\t" + ips + "\t" + DnsOf(a->Index) + "\t" +
                            Utf8FromAnsi(a->Description));
        }
    }
    printf("%src=%lu count=%d\n", prefix.c_str(), static_cast<unsigned long>(rc), count);
    for (const std::string& line : lines)
        printf("%s\n", line.c_str());
    fflush(stdout);
}

std::string NowPrefix()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    unsigned long long ms =
        ((static_cast<unsigned long long>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) - 116444736000000000ull) / 10000;
    return std::to_string(ms) + "\t";
}

}  // namespace

int main(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc >= 4 && std::string(argv[1]) == "--poll") {
        int interval = atoi(argv[2]);
        int count = atoi(argv[3]);
        for (int i = 0; i < count; ++i) {
            if (i)
                Sleep(interval);
            Report(NowPrefix());
        }
        return 0;
    }
    Report("");
    return 0;
}
