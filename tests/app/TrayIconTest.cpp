// The tray icon against a stand-in for the shell's notification area, made
// in this process: a "Shell_TrayWnd" window that records what it is sent.
#include "app/CTrayIcon.h"
#include "framework/CWnd.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct ShellCall {
    DWORD command;
    UINT id;
    UINT flags;
    UINT callback;
    std::wstring tip;
    UINT version;  // or the balloon's timeout, which shares its place
};

// Where Wine's record carries the version: after the tooltip, the state
// and its mask, and the balloon's text.
const size_t kVersionAt = 16 + 128 * 2 + 8 + 256 * 2;

std::vector<ShellCall> g_calls;
bool g_refuse = false;
bool g_refuseAdd = false;  // as the shell refuses to add an icon it holds

LRESULT CALLBACK TrayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COPYDATA) {
        auto* cds = reinterpret_cast<COPYDATASTRUCT*>(lParam);
        const auto* bytes = static_cast<const BYTE*>(cds->lpData);
        ShellCall call{};
        call.command = static_cast<DWORD>(cds->dwData);
        if (cds->cbData >= 16 + 128 * 2) {
            call.id = *reinterpret_cast<const UINT*>(bytes + 4);
            call.flags = *reinterpret_cast<const UINT*>(bytes + 8);
            call.callback = *reinterpret_cast<const UINT*>(bytes + 12);
            call.tip.assign(reinterpret_cast<const wchar_t*>(bytes + 16));
        }
        if (cds->cbData >= kVersionAt + 4)
            call.version = *reinterpret_cast<const UINT*>(bytes + kVersionAt);
        g_calls.push_back(call);
        return g_refuse || (g_refuseAdd && call.command == NIM_ADD) ? FALSE : TRUE;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

class OwnerWindow : public CWnd {
public:
    std::vector<WPARAM> commands;
    bool Create()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "LumaroTrayOwner";
        ::RegisterClassA(&wc);
        HWND h = ::CreateWindowExA(0, wc.lpszClassName, "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   wc.hInstance, nullptr);
        return h && SubclassWindow(h);
    }
protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_COMMAND)
            commands.push_back(wParam);
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = TrayProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Shell_TrayWnd";
        ::RegisterClassW(&wc);
        m_tray = ::CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   wc.hInstance, nullptr);
        ASSERT_TRUE(m_tray);
        ASSERT_EQ(::FindWindowW(L"Shell_TrayWnd", nullptr), m_tray)
            << "another notification area answers in this session; these checks need their own";
        ASSERT_TRUE(m_owner.Create());
        g_calls.clear();
        g_refuse = g_refuseAdd = false;
    }
    void TearDown() override
    {
        ::DestroyWindow(m_owner.m_hWnd);
        ::DestroyWindow(m_tray);
    }
    HWND m_tray = nullptr;
    OwnerWindow m_owner;
};

HICON AppIcon()
{
    return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                           0, 0, LR_DEFAULTSIZE));
}
}

TEST_F(TrayIconTest, RecordIsTheWideVersionTwoSizeOfA32BitBuild)
{
    CTrayIcon icon(1090);
    EXPECT_EQ(icon.Data().cbSize, 936u);
    EXPECT_EQ(icon.Data().uID, 1090u);
}

TEST_F(TrayIconTest, AddWithVersionThreeThenModifyThenDeleteOnDestruction)
{
    {
        CTrayIcon icon(1090);
        ASSERT_TRUE(icon.AttachWindow(&m_owner, WM_USER + 1));
        EXPECT_TRUE(icon.ShowIcon(AppIcon()));
        EXPECT_TRUE(icon.ShowIcon(AppIcon()));
        icon.SetTip("Admin서버에 접속 시도중...");
    }
    ASSERT_EQ(g_calls.size(), 5u);
    EXPECT_EQ(g_calls[0].command, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(g_calls[0].flags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE));
    EXPECT_EQ(g_calls[0].id, 1090u);
    EXPECT_EQ(g_calls[0].callback, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(g_calls[1].command, static_cast<DWORD>(NIM_SETVERSION)) << "the keyboard's events need the version";
    EXPECT_EQ(g_calls[1].version, 3u) << "version 4 would change the callback's wParam and lParam";
    EXPECT_EQ(g_calls[2].command, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(g_calls[2].version, 0u) << "the version must not stay in the record as a balloon timeout";
    EXPECT_EQ(g_calls[3].command, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(g_calls[3].flags, static_cast<UINT>(NIF_TIP)) << "a tooltip update carries the tip alone";
    EXPECT_EQ(g_calls[3].tip, L"Admin서버에 접속 시도중...") << "tooltip must arrive as the CP949 text converted";
    EXPECT_EQ(g_calls[4].command, static_cast<DWORD>(NIM_DELETE));
}

TEST_F(TrayIconTest, TipIsOnlySetOnAShownIconAndCutAt127Bytes)
{
    CTrayIcon icon(7);
    icon.AttachWindow(&m_owner, WM_USER + 1);
    icon.SetTip("nothing shown yet");
    EXPECT_TRUE(g_calls.empty()) << "a tooltip without an icon must not reach the shell";

    icon.ShowIcon(AppIcon());
    icon.SetTip(std::string(300, 'x').c_str());
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[2].tip, std::wstring(127, L'x'));
}

TEST_F(TrayIconTest, IconTheShellLacksComesBackWholeWithItsTip)
{
    struct Row {
        const char* name;
        void (*run)(CTrayIcon&);
        DWORD command;  // of the call that brings it back
    };
    const Row rows[] = {
        {"add refused, tried again with the next tip",
         [](CTrayIcon& i) { g_refuse = true; i.ShowIcon(AppIcon()); g_refuse = false; i.SetTip("tip"); }, NIM_ADD},
        {"change refused, the shell still holds it",
         [](CTrayIcon& i) { i.ShowIcon(AppIcon()); g_refuse = true; i.SetTip("x"); g_refuse = false;
                            g_refuseAdd = true; i.SetTip("tip"); }, NIM_MODIFY},
        {"a new notification area",
         [](CTrayIcon& i) { i.ShowIcon(AppIcon()); i.SetTip("tip"); i.OnTaskbarCreated(); }, NIM_ADD},
    };
    for (const Row& row : rows) {
        g_refuseAdd = false;
        CTrayIcon icon(7);
        icon.AttachWindow(&m_owner, WM_USER + 1);
        row.run(icon);
        ASSERT_GE(g_calls.size(), 2u) << row.name;
        EXPECT_EQ(g_calls.back().command, static_cast<DWORD>(NIM_SETVERSION)) << row.name << ": the version again";
        const ShellCall& back = g_calls[g_calls.size() - 2];
        EXPECT_EQ(back.command, row.command) << row.name;
        EXPECT_EQ(back.flags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE | NIF_TIP)) << row.name;
        EXPECT_EQ(back.tip, L"tip") << row.name;
        EXPECT_TRUE(icon.IconShown()) << row.name;
    }
    EXPECT_TRUE(CTrayIcon(7).IsTaskbarCreated(::RegisterWindowMessageA("TaskbarCreated")));
}

TEST_F(TrayIconTest, BalloonGoesOnceAndLeavesTheTip)
{
    CTrayIcon icon(1090);
    icon.AttachWindow(&m_owner, WM_USER + 1);
    icon.ShowIcon(AppIcon());
    EXPECT_TRUE(icon.ShowBalloon("Lumaro", "9분", kBalloonWarning));
    icon.SetTip("tip");
    ASSERT_EQ(g_calls.size(), 4u);
    EXPECT_EQ(g_calls[2].flags, static_cast<UINT>(NIF_INFO)) << "the balloon alone";
    EXPECT_EQ(g_calls[2].version, 10000u) << "the balloon's timeout";
    EXPECT_EQ(g_calls[3].flags, static_cast<UINT>(NIF_TIP));
    EXPECT_STREQ(icon.Data().szInfo, L"") << "the record must not keep the balloon";
}

TEST_F(TrayIconTest, AttachWindowChecksWindowAndMessage)
{
    CTrayIcon icon(7);
    EXPECT_FALSE(icon.AttachWindow(nullptr, WM_USER + 1));
    EXPECT_FALSE(icon.AttachWindow(&m_owner, 0));
    EXPECT_EQ(icon.Data().hWnd, m_owner.m_hWnd) << "the handle stays stored when only the message is missing";
    EXPECT_TRUE(icon.AttachWindow(&m_owner, WM_USER + 1));
}

TEST_F(TrayIconTest, DoubleClickRunsTheDefaultCommandAndOtherEventsDoNothing)
{
    CTrayIcon icon(1090);
    icon.AttachWindow(&m_owner, WM_USER + 1);
    EXPECT_EQ(icon.OnNotify(1090, WM_LBUTTONDBLCLK), 0) << "no menu loaded yet";
    ASSERT_TRUE(icon.SetMenuResource(IDR_TRAYMENU));

    EXPECT_EQ(icon.OnNotify(1091, WM_LBUTTONDBLCLK), 0) << "another icon's event";
    EXPECT_EQ(icon.OnNotify(1090, WM_LBUTTONUP), 0) << "a single click";
    EXPECT_EQ(icon.OnNotify(1090, WM_RBUTTONDOWN), 0) << "a right button press";
    EXPECT_TRUE(m_owner.commands.empty());

    EXPECT_EQ(icon.OnNotify(1090, WM_LBUTTONDBLCLK), 1);
    ASSERT_EQ(m_owner.commands.size(), 1u);
    EXPECT_EQ(m_owner.commands[0], static_cast<WPARAM>(ID_SHOW_CLOCK));
}

TEST_F(TrayIconTest, EnterOrSpaceOpensTheClockAndTheNotificationsAfterAClickDoNothing)
{
    const struct { const char* name; std::vector<LPARAM> events; size_t commands; } rows[] = {
        {"Enter or Space", {NIN_KEYSELECT}, 1},
        {"a click, and the shell's NIN_SELECT after it", {WM_LBUTTONUP, NIN_SELECT}, 0},
        {"a double click", {WM_LBUTTONUP, NIN_SELECT, WM_LBUTTONDBLCLK, WM_LBUTTONUP, NIN_SELECT}, 1},
        {"Enter on the icon a click selected", {WM_LBUTTONUP, NIN_SELECT, WM_MOUSEMOVE, NIN_SELECT}, 1},
    };
    for (const auto& row : rows) {
        m_owner.commands.clear();
        CTrayIcon icon(1090);
        icon.AttachWindow(&m_owner, WM_USER + 1);
        ASSERT_TRUE(icon.SetMenuResource(IDR_TRAYMENU));
        for (LPARAM event : row.events)
            icon.OnNotify(1090, event);
        EXPECT_EQ(m_owner.commands, std::vector<WPARAM>(row.commands, ID_SHOW_CLOCK)) << row.name;
    }
}
