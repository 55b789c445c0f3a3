#include "installer/ConnectTask.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

// The task the package registers comes from the manual route's file.
std::wstring TaskTemplate()
{
    std::ifstream file(LUMARO_SOURCE_DIR "/docs/deploy/lumaro-task.xml", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::wstring xml;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)  // UTF-16LE after its byte-order mark
        xml += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return xml;
}

const wchar_t kProgram[] = L"D:\\Apps & Tools\\Lumaro\\lumaro.exe";

TEST(ConnectTaskXml, FillsProgramAndConnectionIntoTheEventQueryAndArguments)
{
    struct Row { const wchar_t* connection; const wchar_t* query; const wchar_t* argument; };
    const Row rows[] = {
        {L"Company VPN", L"Data='Company VPN'", L"Company VPN"},
        {L"R&D <2>", L"Data='R&amp;amp;D &amp;lt;2&amp;gt;'", L"R&amp;D &lt;2&gt;"},
        {L"O'Neil VPN", L"Data=\"O'Neil VPN\"", L"O'Neil VPN"},
    };
    for (const Row& row : rows) {
        std::string error;
        std::wstring xml = ConnectTaskXml(TaskTemplate(), kProgram, row.connection, error);
        EXPECT_NE(xml.find(row.query), std::wstring::npos) << "event query for " << error;
        std::wstring exec = L"<Command>\"D:\\Apps &amp; Tools\\Lumaro\\lumaro.exe\"</Command>\r\n      <Arguments>"
                            L"%USERNAME% " + std::wstring(row.argument) + L"</Arguments>\r\n      "
                            L"<WorkingDirectory>%LOCALAPPDATA%</WorkingDirectory>";
        EXPECT_NE(xml.find(exec), std::wstring::npos) << "program, arguments or start folder not as expected";
    }
}

TEST(ConnectTaskXml, RefusesWhatTheQueryCannotHoldOrATemplateWithoutItsParts)
{
    struct Row { std::wstring templ; const wchar_t* connection; const char* error; };
    const Row rows[] = {
        {TaskTemplate(), L"a'b\"c", "the connection's name holds both ' and \""},
        {TaskTemplate(), L"VPN\n", "the connection's name holds a control character"},
        {L"<Command>x</Command><Arguments>%USERNAME% VPN</Arguments>", L"VPN",
         "the task template has no single event query for the connection VPN"},
        {L"Data='VPN' <Arguments>%USERNAME% VPN</Arguments>", L"VPN", "the task template has no single Command"},
    };
    for (const Row& row : rows) {
        std::string error;
        EXPECT_TRUE(ConnectTaskXml(row.templ, kProgram, row.connection, error).empty()) << row.error;
        EXPECT_EQ(error, row.error);
    }
}

}  // namespace
