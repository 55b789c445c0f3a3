// The choice of the VPN adapter and what it logs, over adapter records built here.
#include "log/LogFile.h"
#include "netinfo/PppChoice.h"

#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {
AdapterInfo Adapter(const char* name, UINT type, std::vector<std::string> ips, std::vector<std::string> dns)
{
    AdapterInfo a;
    a.m_name = name;
    a.m_description = std::string(name) + " adapter";
    a.m_type = type;
    for (auto& ip : ips)
        a.m_ipAddresses.emplace_back(ip, "255.255.255.255");
    a.m_dnsServers = dns;
    return a;
}

class PppChoiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t dir[MAX_PATH];
        ::GetTempPathW(MAX_PATH, dir);
        m_path = std::wstring(dir) + L"lumaro_pppchoice_" + std::to_wstring(::GetCurrentProcessId()) + L".log";
        m_log.reset(new LogFile);
        m_log->Open(m_path.c_str(), FALSE, kLogFlow);
    }
    void TearDown() override { ::DeleteFileW(m_path.c_str()); }
    // The log's texts, each from column 35 of its line, lines joined by LF.
    // The log holds its file without sharing, so it is closed first.
    std::string LoggedText()
    {
        m_log.reset();
        std::ifstream in(m_path.c_str(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::string all = ss.str(), out;
        size_t pos = 0;
        while (pos < all.size()) {
            size_t end = all.find("\r\n", pos);
            if (end == std::string::npos)
                end = all.size();
            out += all.substr(pos + 34, end - pos - 34) + "\n";
            pos = end + 2;
        }
        return out;
    }
    std::wstring m_path;
    std::unique_ptr<LogFile> m_log;
};
}

TEST(AdapterTypeName, NamesTheKnownTypesAndNothingElse)
{
    struct Case {
        UINT type;
        const char* name;
    } cases[] = {{1, "Other"}, {6, "Ethernet"}, {9, "Token Ring"}, {15, "FDDI"}, {23, "PPP"}, {24, "Loopback"},
                 {28, "SLIP"}, {71, "Invalid Adapter Type"}, {0, "Invalid Adapter Type"}};
    for (const Case& c : cases)
        EXPECT_STREQ(AdapterTypeName(c.type), c.name) << "type " << c.type;
}

TEST_F(PppChoiceTest, FirstPppAdapterWinsWithItsFirstDnsServer)
{
    std::vector<AdapterInfo> list = {
        Adapter("eth", 6, {"192.168.1.5"}, {"192.168.1.1"}),
        Adapter("ppp-a", 23, {"10.0.0.7"}, {"10.0.0.1", "10.0.0.2"}),
        Adapter("ppp-b", 23, {"10.9.0.7"}, {"10.9.0.1"}),
    };
    std::string ip = "unchanged";
    EXPECT_EQ(ChoosePppDns(list, *m_log, ip), kPppDnsOk);
    EXPECT_EQ(ip, "10.0.0.1");
    std::string text = LoggedText();
    EXPECT_NE(text.find(" [idx=0]\n Name=eth\n Description=eth adapter\n Type=6, Ethernet\n IP=192.168.1.5\n DNS=192.168.1.1\n"),
              std::string::npos) << text;
    EXPECT_NE(text.find(" [idx=1]\n Name=ppp-a\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ppp DNS(m_ip) = 10.0.0.1\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("ppp-b"), std::string::npos) << "adapters after the first PPP one are not logged";
}

TEST_F(PppChoiceTest, NoPppAdapterLeavesTheAddressAndSaysSo)
{
    std::vector<AdapterInfo> list = {Adapter("lo", 24, {"127.0.0.1"}, {}), Adapter("odd", 71, {}, {})};
    std::string ip = "10.1.1.1";
    EXPECT_EQ(ChoosePppDns(list, *m_log, ip), kPppDnsNotFound);
    EXPECT_EQ(ip, "10.1.1.1");
    std::string text = LoggedText();
    EXPECT_NE(text.find(" Type=71, Invalid Adapter Type\n IP=\n DNS=\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ppp not found\n"), std::string::npos) << text;
}

TEST_F(PppChoiceTest, PppAdapterWithoutDnsGivesAnEmptyAddress)
{
    std::vector<AdapterInfo> list = {Adapter("ppp", 23, {"10.0.0.7"}, {})};
    std::string ip = "old";
    EXPECT_EQ(ChoosePppDns(list, *m_log, ip), kPppDnsOk);
    EXPECT_EQ(ip, "");
}

namespace {
// A scripted adapter table: `count` adapters, of which the last is PPP; each
// fill that finds `growBeforeFill` above zero first adds an adapter, as one
// coming up between the sizing and the fill would.
struct ScriptedTable {
    int count = 0;
    int growBeforeFill = 0;
    int calls = 0;
} g_table;

ULONG WINAPI ScriptedGetAdaptersInfo(IP_ADAPTER_INFO* out, PULONG size)
{
    ++g_table.calls;
    if (out && g_table.growBeforeFill > 0) {
        --g_table.growBeforeFill;
        ++g_table.count;
    }
    ULONG needed = static_cast<ULONG>(g_table.count * sizeof(IP_ADAPTER_INFO));
    if (g_table.count == 0)
        return ERROR_NO_DATA;
    if (!out || *size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    std::memset(out, 0, needed);
    for (int i = 0; i < g_table.count; ++i) {
        std::snprintf(out[i].AdapterName, sizeof out[i].AdapterName, "a%d", i);
        out[i].Type = i == g_table.count - 1 ? kAdapterTypePpp : 6;
        out[i].Next = i + 1 < g_table.count ? &out[i + 1] : nullptr;
    }
    return ERROR_SUCCESS;
}

DWORD WINAPI NoPerAdapterInfo(ULONG, IP_PER_ADAPTER_INFO*, PULONG)
{
    return ERROR_NO_DATA;
}
}  // namespace

TEST(QueryAdapters, ProbesAgainWhileTheListGrowsBetweenSizingAndFill)
{
    const IpHelperApi api = {ScriptedGetAdaptersInfo, NoPerAdapterInfo};
    struct Case {
        const char* name;
        int count, grow, expected, lastType;
    } cases[] = {
        {"steady list", 2, 0, 2, kAdapterTypePpp},
        {"one adapter comes up mid-query: the second probe sees it", 1, 1, 2, kAdapterTypePpp},
        {"up twice, still inside the attempts", 1, kAdapterQueryAttempts - 1, kAdapterQueryAttempts, kAdapterTypePpp},
        {"a list that never settles gives up, claiming nothing", 1, kAdapterQueryAttempts, 0, 0},
        {"no adapters at all", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        g_table = ScriptedTable{c.count, c.grow, 0};
        std::vector<AdapterInfo> adapters = {AdapterInfo()};
        EXPECT_EQ(QueryAdapters(adapters, api), c.expected) << c.name;
        ASSERT_EQ(static_cast<int>(adapters.size()), c.expected) << c.name;
        if (c.expected > 0) {
            EXPECT_EQ(adapters.back().GetType(), static_cast<UINT>(c.lastType)) << c.name;
        }
        EXPECT_LE(g_table.calls, 2 * kAdapterQueryAttempts) << c.name;
    }
}
